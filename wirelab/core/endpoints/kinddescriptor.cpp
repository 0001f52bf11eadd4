#include "core/endpoints/kinddescriptor.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/endpointfactory.h"
#include "core/net/addresstext.h"
#include "core/text/jsondoc.h"

#include <QCoreApplication>

Endpoint *LineDeclaredKind::declare(EndpointRegistry &registry, const JsonNode &element) const
{
    const QString line = paramLine(element);
    return line.isEmpty() ? nullptr : CreateFromLine(registry, line);
}

QString EncryptedKind::paramLine(const JsonNode &) const { return QString(); }

Endpoint *EncryptedKind::fromLine(EndpointRegistry &, const ParamLine &) const { return nullptr; }

StatusFields EncryptedKind::status(const Endpoint &endpoint) const
{
    return kindDescriptor(m_plain).status(endpoint);
}

QString EncryptedKind::statusLine(const Endpoint &endpoint, bool wasActive) const
{
    return kindDescriptor(m_plain).statusLine(endpoint, wasActive);
}

WindowStop EncryptedKind::windowStop() const { return kindDescriptor(m_plain).windowStop(); }

KindCommands EncryptedKind::commands() const { return kindDescriptor(m_plain).commands(); }

QString bindParam(const JsonNode &element)
{
    const QString key = QStringLiteral("BIND");
    return element.member(key) ? QStringLiteral(",BIND=") + jsonText(element, key) : QString();
}

// The status area belongs to the data window, and so do its translations.
QString statusText(const char *text) { return QCoreApplication::translate("DataWindow", text); }

QString statusText(const char *text, const QString &value) { return statusText(text).arg(value); }

QString statusText(const char *text, int value) { return statusText(text).arg(value); }

// The status lines are the headless log's, and so are their translations.
QString statusLineText(const char *text) { return QCoreApplication::translate("LineLog", text); }

void setPeerFields(StatusFields &fields, const Endpoint &endpoint)
{
    fields.first = statusText(QT_TRANSLATE_NOOP("DataWindow", "对方IP:%1"), endpoint.remoteHost());
    fields.second = statusText(QT_TRANSLATE_NOOP("DataWindow", "对方端口:%1"), endpoint.remotePort());
    fields.third = statusText(QT_TRANSLATE_NOOP("DataWindow", "本地端口:%1"), endpoint.localPort());
}

QString peerText(const Endpoint &endpoint)
{
    return hostPortText(endpoint.remoteHost(), endpoint.remotePort());
}

StatusFields connectionStatus(const Endpoint &endpoint)
{
    StatusFields f;
    f.state = endpoint.isActive() ? statusText(QT_TRANSLATE_NOOP("DataWindow", "已连接"))
                                  : statusText(QT_TRANSLATE_NOOP("DataWindow", "已断开"));
    setPeerFields(f, endpoint);
    f.stopCaption = statusText(QT_TRANSLATE_NOOP("DataWindow", "断开"));
    return f;
}

QString connectionStatusLine(const Endpoint &endpoint, bool wasActive)
{
    if (endpoint.isActive())
        return statusLineText(QT_TRANSLATE_NOOP("LineLog", "已连接，对端 %1")).arg(peerText(endpoint));
    return wasActive ? statusLineText(QT_TRANSLATE_NOOP("LineLog", "已断开")) : QString();
}
