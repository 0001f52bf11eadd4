#pragma once
// The main window as the user starts it, over the contract script
// (contract.h) and the test's own script: a project file in a temporary
// directory, the window shown, and the first-activation build finished
// (built tells whether it did) when the constructor returns. The 100 ms
// tick is stopped unless asked for: tests drive ticks themselves.

#include "core/endpoints/registry.h"
#include "core/script/scripthost.h"
#include "gui/mainwindow.h"
#include "seamrecorder.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class DataWindow;
class Endpoint;
class LogView;
class TcpClientEndpoint;

class ScriptedWindow
{
public:
    struct Options
    {
        bool tick = false;  // keep the window's 100 ms tick running
        // Runs inside every message box, from the build on.
        std::function<void(ScriptedWindow &)> onMessage;
    };
    explicit ScriptedWindow(const QString &script = QString());
    ScriptedWindow(const QString &script, Options options);
    ~ScriptedWindow();

    MainWindow &window() { return *m_window; }
    EndpointRegistry &registry() { return m_window->registry(); }
    ScriptHost &host() { return m_window->scriptHost(); }

    QString js(const QString &text);
    QStringList calls();
    QStringList callsOf(const QString &event);  // first field equals event
    void clearCalls();

    Endpoint *endpoint(const QString &name) { return registry().findByName(name); }
    DataWindow *dataWindow(const Endpoint *endpoint) { return m_window->dataWindow(endpoint); }
    // A control of the endpoint's data window by object name (the window's
    // controls are built first).
    template<class T>
    T *control(const Endpoint *endpoint, const char *name)
    {
        QWidget *w = dataWindowWidget(endpoint);
        return w ? w->findChild<T *>(QLatin1String(name)) : nullptr;
    }
    // The receive pane (Memo2) of the endpoint's data window, and its text
    // (lines still waiting to be shown included).
    LogView *pane(const Endpoint *endpoint);
    QString paneText(const Endpoint *endpoint);

    // A TCP client made by hand (disconnected), named, in text mode.
    TcpClientEndpoint *tcpClient(const QString &name, int port,
                                 const QString &host = QStringLiteral("127.0.0.1"));

    // Destroys the window now (as the program's end does).
    void reset() { m_window.reset(); }
    QString dirPath() const { return m_dir.path(); }

    MessageRecorder messages;  // before the window: boxes of the build are recorded
    bool built = false;

private:
    QWidget *dataWindowWidget(const Endpoint *endpoint);

    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_window;
};
