#include "core/control/stdinconnection.h"

#include "guard.h"

#include <QSocketNotifier>

StdinConnection::StdinConnection(int fd, Writer writer, QObject *parent)
    : ControlConnection(parent),
      m_fd(fd),
      m_writer(std::move(writer)),
      m_notifier(new QSocketNotifier(fd, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, guard([this] { readable(); }));
}

StdinConnection::~StdinConnection() = default;

void StdinConnection::readMore()
{
    if (!ended())
        m_notifier->setEnabled(true);
}

void StdinConnection::readable()
{
    // One read per wake-up: the descriptor stays blocking (it is shared with
    // whoever started us), and poll said there is something to read.
    const Read read = readFrom(m_fd, m_notifier);
    if (read == Read::End || read == Read::Failure)
        inputEnded(QStringLiteral("the input ended inside a line; it was not carried out"));
}
