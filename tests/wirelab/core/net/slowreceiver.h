#pragma once
// A sender on another thread outruns a handler that takes 400 us per
// datagram: 1,000 datagrams of 64 bytes, 20 per millisecond, each starting
// with its number. The kernel keeps only a few hundred for a socket: a
// receiver that reads only between batches of handlers (a read every 64 is
// every 25.6 ms) overflows it; one that keeps reading (every 8, 3.2 ms) loses
// nothing. Also counts how many datagrams one pass of the event loop hands out.

#include "testsupport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class SlowReceiverRun
{
public:
    static constexpr int Count = 1000;

    SlowReceiverRun()
    {
        m_passes.setInterval(0);  // fires once per pass of the event loop
        QObject::connect(&m_passes, &QTimer::timeout, [this] { m_perPass = 0; });
        m_passes.start();
    }

    // To be called by the receiver's handler with each datagram.
    void handled(const QByteArray &data)
    {
        got.append(data);
        maxPerPass = qMax(maxPerPass, ++m_perPass);
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < 400000) {}
    }

    // Sends to address:port and waits for every datagram to be handled.
    void run(const char *address, int port)
    {
        std::thread sender([address, port] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in to {};
            to.sin_family = AF_INET;
            to.sin_port = htons(quint16(port));
            inet_aton(address, &to.sin_addr);
            for (int i = 0; i < Count; ++i) {
                const QByteArray d = Payload(i);
                ::sendto(fd, d.constData(), size_t(d.size()), 0, reinterpret_cast<sockaddr *>(&to),
                         sizeof to);
                if (i % 20 == 19)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ::close(fd);
        });
        const bool all = WaitFor([&] { return got.size() >= Count; }, 20000);
        sender.join();
        SpinFor(50);
        EXPECT_TRUE(all) << got.size() << " of " << Count;
    }

    // Every datagram handled once, in order, and at most a batch per pass.
    void check() const
    {
        ASSERT_EQ(got.size(), Count);
        for (int i = 0; i < Count; ++i)
            ASSERT_EQ(got[i], Payload(i)) << i;
        EXPECT_LE(maxPerPass, 64);
    }

    static QByteArray Payload(int i)
    {
        return QByteArray::number(i).rightJustified(8, '0') + QByteArray(56, 'x');
    }

    QList<QByteArray> got;
    int maxPerPass = 0;

private:
    QTimer m_passes;
    int m_perPass = 0;
};
