#pragma once
// KindDescriptor: everything the program asks about one endpoint kind, in
// one place. Each kind's descriptor lives with its endpoint class; the list
// of kinds (endpointkind.cpp) is the only place that names them all. Views
// and the factory ask the descriptor instead of switching on the kind, so a
// kind without an answer is a compile error (every question is pure).
//
// The creation dialogs are widgets and so not here: the GUI keeps them in a
// table keyed by kind (gui/kinddialogs.cpp).

#include "core/endpoints/endpointkind.h"

#include <QString>

class Endpoint;
class EndpointRegistry;
class JsonNode;
struct ParamLine;

// What a data window's status area shows for an endpoint.
struct StatusFields
{
    QString state;  // Label1: "已连接"; empty for a kind without a state text
    QString first;  // Label3, first row left
    QString second;  // Label4, first row right
    QString third;  // Label6, second row right
    QString security;  // TlsSession, second row left: an encrypted connection's session
    // Button_5 and Button_6: hidden when empty; while either is shown, the
    // start button is enabled while inactive, the stop button while active.
    QString startCaption;
    QString stopCaption;
};

// What the stop button of a data window ("停止监听", "断开") does.
enum class WindowStop {
    None,  // the kind has no stop button
    Endpoint,  // stops the window's own endpoint
    // Marks the window's endpoint inactive, then runs the stop command on
    // the endpoint selected in the tree (normally the same one).
    SelectedEndpoint,
};

// The endpoint commands a kind offers (the workbench's operations ask).
struct KindCommands
{
    bool connect = false;  // "连接": Endpoint::start()
    bool disconnect = false;  // "断开": state 0, then Endpoint::stop()
    bool listen = false;  // "启动监听" / "停止监听": start() / stop()
};

class KindDescriptor
{
public:
    virtual ~KindDescriptor() = default;

    virtual EndpointKind kind() const = 0;
    // The name scripts write in SOCKETTYPE, also the caption of the kind's
    // root in the tree. Never translated.
    virtual QString name() const = 0;
    // Whether the kind has a root of its own in the tree (and so a creation
    // dialog); accepted connections live under their server.
    virtual bool hasRoot() const = 0;

    // The endpoint one element of `sockets` declares, registered, or
    // nullptr (the kind cannot be declared, or creation declined). Throws
    // WireError (ConvertError included) for a value it cannot take; nothing
    // is created then.
    virtual Endpoint *declare(EndpointRegistry &registry, const JsonNode &element) const = 0;
    // The parameter line a declaration of the kind is written as, or "" for
    // a kind whose declarations are not parameter lines.
    virtual QString paramLine(const JsonNode &element) const = 0;
    // The endpoint a parameter line makes (the line already read), or
    // nullptr for a kind that no line makes or a declined creation (an
    // unusable local port). The factory sets the hex mode afterwards.
    virtual Endpoint *fromLine(EndpointRegistry &registry, const ParamLine &line) const = 0;

    // The data window's status area.
    virtual StatusFields status(const Endpoint &endpoint) const = 0;
    // The one-line status a run without a window prints when it changes;
    // empty when there is nothing to tell (wasActive: whether the endpoint
    // has been active before, so a client never connected is not said to
    // have been disconnected).
    virtual QString statusLine(const Endpoint &endpoint, bool wasActive) const = 0;

    virtual WindowStop windowStop() const = 0;
    virtual KindCommands commands() const = 0;
};

// The descriptor of a kind; every kind has one.
const KindDescriptor &kindDescriptor(EndpointKind kind);
// The descriptor of the kind a name stands for (exact, case-sensitive), or
// nullptr.
const KindDescriptor *kindDescriptor(const QString &name);

// A kind whose declarations are parameter lines: a declaration is its
// paramLine(), made by the endpoint factory.
class LineDeclaredKind : public KindDescriptor
{
public:
    Endpoint *declare(EndpointRegistry &registry, const JsonNode &element) const override;
};

// A kind that is a plain kind with its connections encrypted (the TLS
// kinds): declared only from its element (no parameter line makes it) and
// otherwise answering as the plain kind does, so the status, the status
// line, the stop button and the commands exist once.
class EncryptedKind : public KindDescriptor
{
public:
    explicit EncryptedKind(EndpointKind plain) : m_plain(plain) {}

    bool hasRoot() const override { return true; }
    QString paramLine(const JsonNode &element) const override;
    Endpoint *fromLine(EndpointRegistry &registry, const ParamLine &line) const override;
    StatusFields status(const Endpoint &endpoint) const override;
    QString statusLine(const Endpoint &endpoint, bool wasActive) const override;
    WindowStop windowStop() const override;
    KindCommands commands() const override;

private:
    EndpointKind m_plain;
};

// ",BIND=<value>" for a server's parameter line when the element has BIND,
// else "" (a line without it listens on every address).
QString bindParam(const JsonNode &element);

// The status texts the kinds share ("对方IP:" + host, "对方端口:" + port,
// "本地端口:" + port), in the data window's translation context.
QString statusText(const char *text);
QString statusText(const char *text, const QString &value);
QString statusText(const char *text, int value);
// A status line's text, in the headless log's translation context.
QString statusLineText(const char *text);
// Label3, Label4 and Label6 of a kind with a peer: its address and port,
// then the local port.
void setPeerFields(StatusFields &fields, const Endpoint &endpoint);
// "host:port" of the peer, as the status lines write it ("[::1]:50007").
QString peerText(const Endpoint &endpoint);
// A TCP connection's status (a client's, an accepted one's): connected or
// disconnected, its peer and local port, the "断开" caption; and its status
// line ("disconnected" only once it had been connected).
StatusFields connectionStatus(const Endpoint &endpoint);
QString connectionStatusLine(const Endpoint &endpoint, bool wasActive);
