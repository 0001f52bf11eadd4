#include "frontends.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/script/scriptengine.h"
#include "core/workbench/workbench.h"
#include "gui/datawindow.h"
#include "headless/headlessrun.h"
#include "scriptedcore.h"
#include "scriptedwindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

class WindowFrontEnd : public FrontEnd
{
public:
    explicit WindowFrontEnd(const QString &script) : m_window(script) { collectLines(); }
    EndpointRegistry &registry() override { return m_window.registry(); }
    ScriptHost &host() override { return m_window.host(); }
    Workbench &workbench() override { return m_window.window().workbench(); }
    MessageRecorder &messages() override { return m_window.messages; }
    bool click(const QString &endpoint, const QString &id) override
    {
        auto *button = control<QPushButton>(endpoint, id);
        if (button)
            button->click();
        return button;
    }
    bool type(const QString &endpoint, const QString &id, const QString &text) override
    {
        auto *edit = control<QLineEdit>(endpoint, id);
        if (edit)
            edit->setText(text);
        return edit;
    }
    QString panelText(const QString &endpoint, const QString &id) override
    {
        if (auto *button = control<QPushButton>(endpoint, id))
            return button->text();
        if (auto *edit = control<QLineEdit>(endpoint, id))
            return edit->text();
        return QStringLiteral("<none>");
    }

private:
    template<class T>
    T *control(const QString &endpoint, const QString &id)
    {
        DataWindow *window = m_window.dataWindow(this->endpoint(endpoint));
        return window ? window->findChild<T *>(id) : nullptr;
    }

    ScriptedWindow m_window;
};

class HeadlessFrontEnd : public FrontEnd
{
public:
    explicit HeadlessFrontEnd(const QString &script)
    {
        WriteContractProject(m_dir.path(), script);
        HeadlessRun::Options options;
        options.dir = m_dir.path();
        options.log.quiet = true;
        m_run = std::make_unique<HeadlessRun>(options);
        // Recorded instead of printed; the run's own handler goes with it.
        m_messages = std::make_unique<MessageRecorder>();
        // The status says whether the script declared endpoints; tests that
        // make theirs by hand go on either way.
        m_run->start();
        collectLines();
    }
    ~HeadlessFrontEnd() override
    {
        m_run.reset();
        m_messages.reset();
    }
    EndpointRegistry &registry() override { return m_run->registry(); }
    ScriptHost &host() override { return m_run->host(); }
    Workbench &workbench() override { return m_run->workbench(); }
    MessageRecorder &messages() override { return *m_messages; }
    bool click(const QString &endpoint, const QString &id) override
    {
        Endpoint *e = this->endpoint(endpoint);
        return e && m_run->workbench().click(*e, id);
    }
    bool type(const QString &endpoint, const QString &id, const QString &text) override
    {
        Endpoint *e = this->endpoint(endpoint);
        return e && m_run->workbench().setText(*e, id, text);
    }
    QString panelText(const QString &endpoint, const QString &id) override
    {
        Endpoint *e = this->endpoint(endpoint);
        for (const Panels::Item &item : e ? m_run->workbench().panelItems(*e) : QList<Panels::Item>()) {
            if (item.id == id)
                return item.text;
        }
        return QStringLiteral("<none>");
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<HeadlessRun> m_run;
    std::unique_ptr<MessageRecorder> m_messages;
};

}  // namespace

std::unique_ptr<FrontEnd> FrontEnd::start(Kind kind, const QString &script)
{
    if (kind == Kind::Window)
        return std::make_unique<WindowFrontEnd>(script);
    return std::make_unique<HeadlessFrontEnd>(script);
}

QString FrontEnd::js(const QString &text) { return host().engine().evalScript(text); }

void FrontEnd::collectLines() { m_lines = std::make_unique<LineCollector>(registry()); }

QStringList FrontEnd::callsOf(const QString &event) { return RecordedCalls(host(), event); }

TcpClientEndpoint *FrontEnd::tcpClient(const QString &name, int port)
{
    return TextTcpClient(registry(), name, port);
}

std::string FrontEndName(FrontEnd::Kind kind)
{
    return kind == FrontEnd::Kind::Window ? "Window" : "Headless";
}
