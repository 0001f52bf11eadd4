#pragma once
// A main window built from a script, as the user starts it: a project file in
// a temporary directory lists a contract script (every call is recorded in
// the global `calls`) and the test's own script; the window is shown and
// the first-activation build has finished when the constructor returns.
// The 100 ms tick is stopped: tests drive ticks themselves.

#include "endpoints/mainwindow.h"
#include "endpoints/workbench.h"
#include "seamrecorder.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

class ScriptFixture
{
public:
    // onMessage, when given, runs inside every message box, from the build on.
    explicit ScriptFixture(const QString &script, std::function<void(ScriptFixture &)> onMessage = {})
    {
        if (onMessage)
            messages.onMessage = [this, onMessage](const QString &) { onMessage(*this); };
        write(QStringLiteral("contract.js"), QString::fromLatin1(Contract));
        write(QStringLiteral("test.js"), script);
        write(QStringLiteral("project.txt"),
              m_dir.filePath(QStringLiteral("contract.js")) + u'\n' + m_dir.filePath(QStringLiteral("test.js")) + u'\n');
        form = std::make_unique<TForm1>(m_dir.filePath(QStringLiteral("project.txt")));
        form->Timer1->stop();
        QSignalSpy done(form.get(), &TForm1::firstActivationDone);
        form->show();
        built = done.count() > 0 || done.wait(10000);
    }

    Workbench &wb() { return form->workbench(); }
    QString js(const QString &text) { return wb().EvalScript(text); }
    // The calls recorded so far, one text per call ("edit|name|id|text", ...).
    QStringList calls() { return js(QStringLiteral("calls.join('\\n')")).split(u'\n', Qt::SkipEmptyParts); }
    QStringList callsStartingWith(const QString &prefix)
    {
        return calls().filter(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(prefix)));
    }
    void clearCalls() { js(QStringLiteral("calls=[];")); }
    TMySocket *endpoint(const QString &name) { return wb().FindEndpointByName(name); }

    MessageRecorder messages;  // before the form: boxes during the build are recorded
    std::unique_ptr<TForm1> form;
    bool built = false;

private:
    void write(const QString &name, const QString &text)
    {
        QFile f(m_dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text.toUtf8());
    }

    static constexpr const char *Contract = R"JS(
var sockets = [];
var actions = [];
var calls = [];
function json2str(v) { return JSON.stringify(v); }
function hook(name) { return typeof this[name] == "function" ? this[name] : null; }
function OnSocketEvent(n, e, a, b) {
  calls.push(e + "|" + n + "|" + a + "|" + b);
  var h = hook("onSocket"); if (h) h(n, e, a, b);
}
function OnTimerEvent(n, t) {
  calls.push("timer|" + n + "|" + t);
  var h = hook("onTimer"); if (h) h(n, t);
}
function OnButtonClick(n, id) {
  calls.push("click|" + n + "|" + id);
  var h = hook("onClick"); if (h) h(n, id);
}
function OnEditChange(n, id, t) {
  calls.push("edit|" + n + "|" + id + "|" + t);
  var h = hook("onEdit"); if (h) h(n, id, t);
}
function DeleteSocket(n) { calls.push("delete|" + n); }
function findUi(id, itemId) {
  for (var i = 0; i < sockets.length; i++) {
    if (sockets[i].ID != id || !sockets[i].UI) continue;
    for (var r = 0; r < sockets[i].UI.length; r++)
      for (var k = 0; k < sockets[i].UI[r].length; k++)
        if (sockets[i].UI[r][k].ID == itemId) return sockets[i].UI[r][k];
  }
  return null;
}
)JS";

    QTemporaryDir m_dir;
};
