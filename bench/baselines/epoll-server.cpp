// The raw baseline: a minimal single-threaded epoll server on 127.0.0.1.
//
//   epoll-server tcp-echo  PORT   echoes every byte on every connection
//   epoll-server tcp-sink  PORT   reads and drops every byte, closes on EOF
//   epoll-server udp-count PORT   counts datagrams
//
// Prints "ready" once listening; on SIGTERM/SIGINT (or after --max-seconds,
// 600 by default) prints its counters as key=value lines and exits.
#include "epollloop.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: epoll-server tcp-echo|tcp-sink|udp-count PORT [--max-seconds S]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int port = std::atoi(argv[2]);
    const int maxSeconds = (argc > 4 && std::string(argv[3]) == "--max-seconds") ? std::atoi(argv[4]) : 600;
    EpollLoop::CatchSignals();
    const bool udp = mode == "udp-count";
    const bool echo = mode == "tcp-echo";
    EpollLoop loop(udp ? SOCK_DGRAM : SOCK_STREAM, port);
    const int lfd = loop.listener();

    long long datagrams = 0, bytes = 0, accepted = 0;
    std::unordered_map<int, std::string> pending;  // echo bytes the kernel did not take yet
    static char buf[1 << 16];
    loop.run(maxSeconds, [&](const epoll_event &event) {
        const int fd = event.data.fd;
        if (fd == lfd && udp) {
            for (;;) {
                const ssize_t r = recv(lfd, buf, sizeof buf, 0);
                if (r < 0)
                    break;
                ++datagrams;
                bytes += r;
            }
        } else if (fd == lfd) {
            loop.acceptAll([&](int) { ++accepted; });
        } else {
            bool closed = false;
            if (event.events & EPOLLOUT) {
                std::string &p = pending[fd];
                const ssize_t w = send(fd, p.data(), p.size(), MSG_NOSIGNAL);
                if (w > 0)
                    p.erase(0, size_t(w));
                if (p.empty())
                    loop.rewatch(fd, EPOLLIN);
            }
            if (event.events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
                const ssize_t r = recv(fd, buf, sizeof buf, 0);
                if (r > 0) {
                    bytes += r;
                    if (echo) {
                        std::string &p = pending[fd];
                        ssize_t w = 0;
                        if (p.empty())
                            w = send(fd, buf, size_t(r), MSG_NOSIGNAL);
                        if (w < 0)
                            w = 0;
                        if (w < r) {
                            p.append(buf + w, size_t(r - w));
                            loop.rewatch(fd, EPOLLIN | EPOLLOUT);
                        }
                    }
                } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                    closed = true;
                }
            }
            if (closed) {
                loop.forget(fd);
                pending.erase(fd);
                close(fd);
            }
        }
    });
    std::printf("datagrams_received=%lld\nbytes_received=%lld\naccepted=%lld\n", datagrams, bytes, accepted);
    return 0;
}
