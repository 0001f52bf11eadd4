// The raw baseline: a minimal single-threaded epoll server on 127.0.0.1.
//
//   epoll-server tcp-echo  PORT   echoes every byte on every connection
//   epoll-server tcp-sink  PORT   reads and drops every byte, closes on EOF
//   epoll-server udp-count PORT   counts datagrams
//
// Prints "ready" once listening; on SIGTERM/SIGINT (or after --max-seconds,
// 600 by default) prints its counters as key=value lines and exits.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

int Listener(int type, int port)
{
    const int fd = socket(AF_INET, type | SOCK_NONBLOCK, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0) {
        std::perror("bind");
        std::exit(1);
    }
    if (type == SOCK_STREAM && listen(fd, SOMAXCONN) < 0) {
        std::perror("listen");
        std::exit(1);
    }
    return fd;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: epoll-server tcp-echo|tcp-sink|udp-count PORT [--max-seconds S]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int port = std::atoi(argv[2]);
    const int maxSeconds = (argc > 4 && std::string(argv[3]) == "--max-seconds") ? std::atoi(argv[4]) : 600;
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
    signal(SIGPIPE, SIG_IGN);
    const bool udp = mode == "udp-count";
    const bool echo = mode == "tcp-echo";
    const int lfd = Listener(udp ? SOCK_DGRAM : SOCK_STREAM, port);
    const int ep = epoll_create1(0);
    epoll_event e {};
    e.events = EPOLLIN;
    e.data.fd = lfd;
    epoll_ctl(ep, EPOLL_CTL_ADD, lfd, &e);
    std::printf("ready\n");
    std::fflush(stdout);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(maxSeconds);
    long long datagrams = 0, bytes = 0, accepted = 0;
    std::unordered_map<int, std::string> pending;  // echo bytes the kernel did not take yet
    static char buf[1 << 16];
    epoll_event events[256];
    while (!g_stop && std::chrono::steady_clock::now() < deadline) {
        const int n = epoll_wait(ep, events, 256, 200);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == lfd && udp) {
                for (;;) {
                    const ssize_t r = recv(lfd, buf, sizeof buf, 0);
                    if (r < 0)
                        break;
                    ++datagrams;
                    bytes += r;
                }
            } else if (fd == lfd) {
                for (;;) {
                    const int c = accept4(lfd, nullptr, nullptr, SOCK_NONBLOCK);
                    if (c < 0)
                        break;
                    ++accepted;
                    epoll_event ce {};
                    ce.events = EPOLLIN;
                    ce.data.fd = c;
                    epoll_ctl(ep, EPOLL_CTL_ADD, c, &ce);
                }
            } else {
                bool closed = false;
                if (events[i].events & EPOLLOUT) {
                    std::string &p = pending[fd];
                    const ssize_t w = send(fd, p.data(), p.size(), MSG_NOSIGNAL);
                    if (w > 0)
                        p.erase(0, size_t(w));
                    if (p.empty()) {
                        epoll_event ce {};
                        ce.events = EPOLLIN;
                        ce.data.fd = fd;
                        epoll_ctl(ep, EPOLL_CTL_MOD, fd, &ce);
                    }
                }
                if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
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
                                epoll_event ce {};
                                ce.events = EPOLLIN | EPOLLOUT;
                                ce.data.fd = fd;
                                epoll_ctl(ep, EPOLL_CTL_MOD, fd, &ce);
                            }
                        }
                    } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                        closed = true;
                    }
                }
                if (closed) {
                    epoll_ctl(ep, EPOLL_CTL_DEL, fd, nullptr);
                    pending.erase(fd);
                    close(fd);
                }
            }
        }
    }
    std::printf("datagrams_received=%lld\nbytes_received=%lld\naccepted=%lld\n", datagrams, bytes, accepted);
    return 0;
}
