#pragma once
// The workspace that the script declares in `sockets`: the endpoints made
// at the start (OnInit, then one endpoint per declaration, made as its
// kind's descriptor says: most through the parameter-line reader and the
// endpoint factory), their panels (through
// the host's panel builder), the panel of an accepted connection, and the
// panels' refresh from `sockets`.

#include <QString>

#include <memory>

class Endpoint;
class JsonNode;
class ScriptHost;

class Declarations
{
public:
    explicit Declarations(ScriptHost &host);

    // How the build went.
    enum class Outcome {
        NotBuilt,
        Created,  // at least one declared endpoint was made
        NothingCreated,  // the declarations made no endpoint
        Failed,  // OnInit threw, or its declarations were no JSON
    };

    // Once; never throws. Failures are reported on standard error.
    void build();
    bool built() const { return m_built; }
    Outcome outcome() const { return m_outcome; }
    // The ID of the declaration whose endpoint is being made, "" otherwise:
    // names what a creation that makes nothing reports.
    const QString &declaringId() const { return m_declaringId; }

    // For a new accepted connection: its declared panel, then refresh().
    void connectionAccepted(Endpoint &connection);
    // Brings the panels in step with `sockets`; nothing without a builder.
    void refresh();

    // json2str(sockets) parsed; a failed call or a text that does not parse
    // raises. The last parse is reused while the text stays the same.
    std::shared_ptr<const JsonNode> readSockets();

private:
    void buildRows(Endpoint &endpoint, const JsonNode *ui);

    ScriptHost &m_host;
    bool m_built = false;
    Outcome m_outcome = Outcome::NotBuilt;
    QString m_declaringId;
    QString m_lastText;
    std::shared_ptr<const JsonNode> m_lastDoc;
};
