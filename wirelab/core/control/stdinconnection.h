#pragma once
// StdinConnection: control commands read from a file descriptor (standard
// input of a run without a window), answered through a writer that keeps
// the answers in order with the run's other output. At the end of the
// input the run goes on; a last line without its line end is not carried
// out, and says so.

#include "core/control/controlconnection.h"

#include <functional>

class QSocketNotifier;

class StdinConnection : public ControlConnection
{
    Q_OBJECT
public:
    using Writer = std::function<void(const QByteArray &)>;

    StdinConnection(int fd, Writer writer, QObject *parent = nullptr);
    ~StdinConnection() override;

protected:
    void write(const QByteArray &bytes) override { m_writer(bytes); }
    void readMore() override;

private:
    void readable();

    int m_fd;
    Writer m_writer;
    QSocketNotifier *m_notifier;
};
