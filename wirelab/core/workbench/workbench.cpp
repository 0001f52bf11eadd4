#include "core/workbench/workbench.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/registry.h"
#include "core/script/scripthost.h"
#include "core/text/hexcodec.h"
#include "core/text/intconv.h"
#include "guard.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace {

// Waits ms milliseconds with the event loop running, so the program stays
// responsive (and incoming datagrams keep being read) between repetitions.
void WaitResponsive(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

KindCommands CommandsOf(const Endpoint &e) { return kindDescriptor(e.kind()).commands(); }

}  // namespace

Workbench::Workbench(QObject *parent)
    : QObject(parent),
      m_registry(std::make_unique<EndpointRegistry>()),
      m_host(std::make_unique<ScriptHost>(*m_registry)),
      m_panels(std::make_unique<Panels>(*m_host, *m_registry)),
      m_tick(new QTimer(this))
{
    m_host->setPanelBuilder(m_panels.get());
    m_tick->setObjectName(QStringLiteral("Timer1"));
    m_tick->setInterval(100);
    connect(m_tick, &QTimer::timeout, this, guard([this] { tick(); }));
}

Workbench::~Workbench()
{
    clear();
    m_host->setPanelBuilder(nullptr);
}

bool Workbench::load(const QString &projectFile) { return m_host->loadScripts(projectFile); }

void Workbench::build() { m_host->buildWorkspace(); }

bool Workbench::built() const { return m_host->built(); }

void Workbench::run() { m_tick->start(); }

void Workbench::stop() { m_tick->stop(); }

bool Workbench::running() const { return m_tick->isActive(); }

void Workbench::clear()
{
    stop();
    m_registry->clear();
}

Endpoint *Workbench::find(const QString &name) const { return m_registry->findByName(name); }

void Workbench::tick() { m_host->tick(); }

bool Workbench::click(Endpoint &endpoint, const QString &id) { return m_panels->click(endpoint, id); }

bool Workbench::setText(Endpoint &endpoint, const QString &id, const QString &text)
{
    return m_panels->setText(endpoint, id, text);
}

QList<Panels::Item> Workbench::panelItems(const Endpoint &endpoint) const
{
    return m_panels->items(&endpoint);
}

bool Workbench::connectEndpoint(Endpoint &endpoint)
{
    if (!CommandsOf(endpoint).connect)
        return false;
    endpoint.start();
    return true;
}

bool Workbench::disconnectEndpoint(Endpoint &endpoint)
{
    if (!CommandsOf(endpoint).disconnect)
        return false;
    // The window's "断开" marks its own endpoint disconnected before the
    // stop command closes it.
    endpoint.setState(EndpointState::Inactive);
    endpoint.stop();
    return true;
}

bool Workbench::listen(Endpoint &endpoint, bool on)
{
    if (!CommandsOf(endpoint).listen)
        return false;
    if (on)
        endpoint.start();
    else
        endpoint.stop();
    return true;
}

void Workbench::resetCounters(Endpoint &endpoint) { endpoint.resetCounters(); }

void Workbench::deleteEndpoint(Endpoint &endpoint) { endpoint.registry().deleteEndpoint(&endpoint); }

QByteArray Workbench::blockOf(const QString &typed, bool hex)
{
    // Line breaks count as CR LF in both modes.
    QString text = typed;
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (hex)
        return hexTextToStr(text);
    return text.toLocal8Bit();
}

bool Workbench::send(Endpoint &endpoint, const SendRequest &request)
{
    // Copies: the caller (a window) may be gone while events run.
    const QByteArray block = request.block;
    const QString countText = request.countText;
    const QString intervalText = request.intervalText;
    const bool timed = request.timed;
    if (block.isEmpty())
        return false;
    QPointer<Endpoint> e(&endpoint);
    e->log().appendSent(block, e->hexMode(), countText);
    const int count = strToInt(countText);
    for (int i = 0; i < count; ++i) {
        // May let events run: the endpoint may be gone after.
        e->send(block);
        if (!e)
            return true;
        e->countSent(block.size());
        if (timed) {
            // A timed tick sends its repetitions back to back.
            QCoreApplication::processEvents();
        } else {
            // The manual send spaces them by the interval (also after the
            // last one), without freezing the program meanwhile.
            WaitResponsive(strToInt(intervalText));
        }
        if (!e)
            return true;
    }
    return true;
}
