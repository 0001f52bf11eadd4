#pragma once
// The "Serial" endpoint: a serial port (or a pseudo-terminal, by its path)
// used like a TCP client. Created closed; "打开" or the CONNECT action opens
// it (OnConnect(device, baud)), "关闭" or DISCONNECT closes it
// (OnDisConnect(device, baud)). A device that goes away while open is
// closed once, with a notice saying why, and told the same way. An open
// that fails leaves it closed, with a notice and the reason in its status,
// and tells the script nothing.

#include "core/endpoints/endpoint.h"
#include "serialline.h"

class KindDescriptor;

class SerialEndpoint : public Endpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();

    // Creates and registers the endpoint, closed.
    static SerialEndpoint *create(EndpointRegistry &registry, const QString &device,
                                  const SerialLine::Settings &settings);

    const QString &device() const { return m_device; }
    const SerialLine::Settings &settings() const { return m_settings; }
    // "9600 8N1 无流控": the settings as the status shows them.
    QString settingsText() const;
    // While closed: why the last open failed or the device went away, as
    // the status shows it; "" otherwise.
    QString closedBecause() const;
    bool isOpen() const { return m_line.isOpen(); }
    // The system's reason after an open that failed, while closed.
    QString startFailure() const override;

    // "打开" and CONNECT: opens the port; already open, nothing changes.
    void start() override { open(); }
    void open() override;
    // "关闭": closes the port and sets the state to 0.
    void stop() override;
    // DISCONNECT: hands the system what it takes of the pending output, then
    // closes (OnDisConnect comes from inside this call).
    void closeConnection() override;
    bool send(const QByteArray &block) override;
    void closeForDeletion() override { closeConnection(); }

private:
    SerialEndpoint(EndpointRegistry &registry, const QString &device, const SerialLine::Settings &settings);
    void onReadyRead();
    void onLost(const QString &reason);
    void closed();

    enum class Closure {
        None,
        OpenFailed,
        Lost,
    };

    const QString m_device;
    const SerialLine::Settings m_settings;
    SerialLine m_line;
    Closure m_closure = Closure::None;
    QString m_reason;  // the system's text for m_closure
};
