#pragma once
// A main window over a project whose script records every socket event and
// every DeleteSocket call in the global `log`, read back as JSON. Tests add
// script text of their own after the recorder (later definitions win).

#include "endpoints/endpointcommands.h"
#include "endpoints/mainwindow.h"
#include "endpoints/workbench.h"
#include "testsupport.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <memory>

class ScriptedForm
{
public:
    explicit ScriptedForm(const QString &extraScript = QString())
    {
        const QString script = m_dir.filePath(QStringLiteral("recorder.js"));
        writeFile(script, QStringLiteral(
            "var log = [];\n"
            "var actions = [];\n"
            "var sockets = [];\n"
            "function OnInit() {}\n"
            "function OnSocketEvent(name, ev, a, b) { log.push([name, ev, a, b]); }\n"
            "function OnTimerEvent(name, t) {}\n"
            "function DeleteSocket(name) { log.push([name, 'DeleteSocket']); }\n"
            "function json2str(v) { return JSON.stringify(v); }\n") + extraScript);
        const QString project = m_dir.filePath(QStringLiteral("project.txt"));
        writeFile(project, script + u'\n');
        m_form = std::make_unique<TForm1>(project);
        QSignalSpy built(m_form.get(), &TForm1::firstActivationDone);
        m_form->show();
        m_form->activateWindow();
        built.wait(5000);
    }

    TForm1 &form() { return *m_form; }
    Workbench &wb() { return m_form->workbench(); }
    void reset() { m_form.reset(); }

    // Every recorded call, as [name, event, a, b].
    QJsonArray log()
    {
        return QJsonDocument::fromJson(wb().EvalScript(QStringLiteral("JSON.stringify(log)")).toUtf8())
            .array();
    }
    QList<QJsonArray> events(const QString &event)
    {
        QList<QJsonArray> found;
        for (const QJsonValue &v : log()) {
            if (v.toArray().at(1).toString() == event)
                found << v.toArray();
        }
        return found;
    }

    void select(QTreeWidgetItem *item) { m_form->TreeView1->setCurrentItem(item); }
    QTreeWidgetItem *root(const QString &kind) { return wb().FindKindRoot(kind); }

private:
    static void writeFile(const QString &path, const QString &text)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TForm1> m_form;
};

// A TCP port that nothing listens on right now (we are alone in the namespace).
inline int FreeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}
