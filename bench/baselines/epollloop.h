#pragma once
// What the raw baselines share: one socket on 127.0.0.1 in an epoll set,
// "ready" once it listens, and the loop that hands every event to the
// server until SIGTERM/SIGINT or the time limit.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

class EpollLoop
{
public:
    // SIGTERM and SIGINT end the loop; SIGPIPE is ignored.
    static void CatchSignals()
    {
        signal(SIGTERM, OnSignal);
        signal(SIGINT, OnSignal);
        signal(SIGPIPE, SIG_IGN);
    }

    // A non-blocking socket of this type on 127.0.0.1:port (listening, for
    // a stream), watched for input; prints "ready". Ends the program when
    // the port cannot be had.
    EpollLoop(int type, int port)
    {
        m_listener = socket(AF_INET, type | SOCK_NONBLOCK, 0);
        const int one = 1;
        setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(m_listener, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0) {
            std::perror("bind");
            std::exit(1);
        }
        if (type == SOCK_STREAM && listen(m_listener, SOMAXCONN) < 0) {
            std::perror("listen");
            std::exit(1);
        }
        m_epoll = epoll_create1(0);
        watch(m_listener, EPOLLIN);
        std::printf("ready\n");
        std::fflush(stdout);
    }

    int listener() const { return m_listener; }

    void watch(int fd, uint32_t events) { control(EPOLL_CTL_ADD, fd, events); }
    void rewatch(int fd, uint32_t events) { control(EPOLL_CTL_MOD, fd, events); }
    void forget(int fd) { epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr); }

    // Accepts every connection that waits, each watched for input, and
    // hands it to accepted.
    template<class Accepted>
    void acceptAll(Accepted &&accepted)
    {
        for (int c; (c = accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
            watch(c, EPOLLIN);
            accepted(c);
        }
    }

    // Hands every event to handle until a stop signal or maxSeconds.
    template<class Handle>
    void run(int maxSeconds, Handle &&handle)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(maxSeconds);
        epoll_event events[256];
        while (!s_stop && std::chrono::steady_clock::now() < deadline) {
            const int n = epoll_wait(m_epoll, events, 256, 200);
            for (int i = 0; i < n; ++i)
                handle(events[i]);
        }
    }

private:
    static void OnSignal(int) { s_stop = 1; }

    void control(int op, int fd, uint32_t events)
    {
        epoll_event e {};
        e.events = events;
        e.data.fd = fd;
        epoll_ctl(m_epoll, op, fd, &e);
    }

    static inline volatile sig_atomic_t s_stop = 0;
    int m_listener = -1;
    int m_epoll = -1;
};
