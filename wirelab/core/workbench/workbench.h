#pragma once
// Workbench: one running project, whatever shows it. It owns the endpoint
// registry, the script host, the declared panels and the 100 ms tick of the
// script timers, and runs the project's lifecycle: load the scripts, build the workspace they
// declare, run (tick), stop, clear. The main window and a headless run each
// create one and show it; every other front end drives the same one.
//
// The endpoint commands of the data windows and the tree are operations on
// an endpoint here, so a window's button and any other front end do the
// same thing. They need only the endpoint: a view that holds an endpoint
// calls them without holding the workbench.

#include "core/workbench/panels.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class Endpoint;
class EndpointRegistry;
class QTimer;
class ScriptHost;

// One send of the data window: a block, sent as often as the repeat count
// says. The count and the interval are texts as typed: the count is logged
// as typed, and a bad interval is found after the first repetition went out.
struct SendRequest
{
    QByteArray block;
    QString countText = QStringLiteral("1");
    // Milliseconds between (and after) manual repetitions; events keep
    // being handled meanwhile.
    QString intervalText = QStringLiteral("0");
    // A timed send's tick: repetitions go back to back, events handled
    // between them, the interval unused.
    bool timed = false;
};

class Workbench : public QObject
{
    Q_OBJECT
public:
    explicit Workbench(QObject *parent = nullptr);
    ~Workbench() override;

    EndpointRegistry &registry() { return *m_registry; }
    ScriptHost &host() { return *m_host; }
    Panels &panels() { return *m_panels; }

    // Lifecycle.
    // Evaluates the script files listed in projectFile; failures are
    // reported on standard error. Whether all loaded.
    bool load(const QString &projectFile);
    // The workspace build (OnInit, the declared endpoints and their panels,
    // the actions): once; never throws.
    void build();
    bool built() const;
    // Starts and stops the 100 ms tick (the QTimer "Timer1").
    void run();
    void stop();
    bool running() const;
    // Stops the tick and destroys every endpoint (no script call).
    void clear();

    // The first endpoint in display order named name, or nullptr.
    Endpoint *find(const QString &name) const;

    // Panel operations, by the IDs the script gives (case ignored).
    // A press of a button: OnButtonClick, the panels' refresh, the actions.
    // False when the endpoint has no such button. Script errors leave here.
    bool click(Endpoint &endpoint, const QString &id);
    // Text typed into an edit box: OnEditChange when it changes. False when
    // the endpoint has no such edit box. Script errors leave here.
    bool setText(Endpoint &endpoint, const QString &id, const QString &text);
    // The endpoint's panel items (buttons, edit boxes, labels) with their
    // texts, row by row.
    QList<Panels::Item> panelItems(const Endpoint &endpoint) const;

    // Endpoint operations. Each answers whether the endpoint's kind offers
    // the command (its descriptor's commands()); one it does not offer
    // changes nothing.
    // "连接" of a TCP client: shows its failure in a message box.
    static bool connectEndpoint(Endpoint &endpoint);
    // "断开" of a TCP client or an accepted connection.
    static bool disconnectEndpoint(Endpoint &endpoint);
    // "启动监听" / "停止监听" of a TCP server.
    static bool listen(Endpoint &endpoint, bool on);
    // "统计清零".
    static void resetCounters(Endpoint &endpoint);
    // "删除": DeleteSocket, then the endpoint goes (a server holding live
    // connections stays, with a box). The endpoint may be gone after.
    static void deleteEndpoint(Endpoint &endpoint);

    // The send of the data window: the "发送数据" line logged with the
    // block, then the block sent and counted per repetition. Nothing for an
    // empty block (false). Throws ConvertError for a bad count or interval
    // (the interval's found after the first repetition). Events are handled
    // meanwhile: the endpoint may be gone afterwards.
    static bool send(Endpoint &endpoint, const SendRequest &request);
    // A typed text as the block it sends: line breaks as CR LF; in hex
    // mode the hex reading of the text, otherwise its local 8-bit form.
    static QByteArray blockOf(const QString &typed, bool hex);

private:
    void tick();

    std::unique_ptr<EndpointRegistry> m_registry;
    std::unique_ptr<ScriptHost> m_host;
    std::unique_ptr<Panels> m_panels;
    QTimer *m_tick;  // Timer1
};
