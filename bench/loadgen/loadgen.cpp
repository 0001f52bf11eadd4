// Load generator of the benchmarks: POSIX sockets (OpenSSL for --tls), loopback only.
// Every mode has a deadline and prints its figures as key=value lines.
//
//   loadgen pingpong --port P [--count 20000] [--size 16]
//   loadgen bulk     --port P [--bytes 268435456] [--chunk 65536]
//   loadgen udp      --port P [--count 100000] [--size 64]
//   loadgen accept   --port P [--conns 1000] [--size 16] [--window 128]
// Common: [--timeout 120] (seconds for the whole run).
// pingpong --tls 1: the same exchange over TLS (OpenSSL, the server's
// certificate taken as it is: the run makes its own); the handshake is not
// part of the timed round trips.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
    std::string mode;
    int port = 0;
    long long count = 0;
    long long size = 0;
    long long bytes = 256LL << 20;
    long long chunk = 65536;
    long long conns = 1000;
    int window = 128;
    int timeoutS = 120;
    bool tls = false;
};

Clock::time_point g_deadline;
// Accept mode: connections done so far and when the run began, so a run cut
// off by the deadline still reports what it reached.
long long g_completed = -1;
Clock::time_point g_start;

[[noreturn]] void Fail(const char *what)
{
    std::printf("error=%s errno=%d\n", what, errno);
    if (g_completed >= 0) {
        const double s = std::chrono::duration<double>(Clock::now() - g_start).count();
        std::printf("connections=%lld\nseconds=%.3f\nconns_per_s=%.0f\nincomplete=1\n", g_completed, s,
                    double(g_completed) / s);
    }
    std::fflush(stdout);
    std::exit(1);
}

int MsLeft()
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(g_deadline - Clock::now()).count();
    if (left <= 0)
        Fail("deadline");
    return int(std::min<long long>(left, 1000));
}

double Seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

sockaddr_in Loopback(int port)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A blocking TCP connection to 127.0.0.1:port, retried while the server is
// still starting (refused) until the deadline.
int ConnectBlocking(int port)
{
    for (;;) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            Fail("socket");
        const sockaddr_in a = Loopback(port);
        if (connect(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0) {
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd;
        }
        close(fd);
        if (errno != ECONNREFUSED)
            Fail("connect");
        MsLeft();
        usleep(20000);
    }
}

// Waits for fd to become ready for events, within the deadline.
void WaitFd(int fd, short events)
{
    pollfd p {fd, events, 0};
    while (poll(&p, 1, MsLeft()) == 0) {}
}

void WriteAll(int fd, const char *data, size_t n)
{
    while (n > 0) {
        const ssize_t w = send(fd, data, n, MSG_NOSIGNAL);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                WaitFd(fd, POLLOUT);
                continue;
            }
            Fail("send");
        }
        data += w;
        n -= size_t(w);
    }
}

void ReadExactly(int fd, char *data, size_t n)
{
    while (n > 0) {
        const ssize_t r = recv(fd, data, n, MSG_DONTWAIT);
        if (r > 0) {
            data += r;
            n -= size_t(r);
        } else if (r == 0) {
            Fail("peer-closed");
        } else if (errno == EAGAIN) {
            WaitFd(fd, POLLIN);
        } else if (errno != EINTR) {
            Fail("recv");
        }
    }
}

// One TLS connection over a non-blocking socket: every call waits, within
// the deadline, for what OpenSSL says it needs.
class TlsStream
{
public:
    explicit TlsStream(int fd) : m_fd(fd)
    {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        m_ctx = SSL_CTX_new(TLS_client_method());
        if (!m_ctx)
            Fail("tls-context");
        SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
        m_ssl = SSL_new(m_ctx);
        SSL_set_fd(m_ssl, fd);
        SSL_set_tlsext_host_name(m_ssl, "localhost");
        for (int r; (r = SSL_connect(m_ssl)) != 1;)
            Wait(r, "tls-handshake");
    }
    ~TlsStream()
    {
        SSL_free(m_ssl);
        SSL_CTX_free(m_ctx);
    }
    TlsStream(const TlsStream &) = delete;
    TlsStream &operator=(const TlsStream &) = delete;

    void WriteAll(const char *data, size_t n)
    {
        while (n > 0) {
            const int w = SSL_write(m_ssl, data, int(n));
            if (w <= 0) {
                Wait(w, "tls-send");
                continue;
            }
            data += w;
            n -= size_t(w);
        }
    }
    void ReadExactly(char *data, size_t n)
    {
        while (n > 0) {
            const int r = SSL_read(m_ssl, data, int(n));
            if (r <= 0) {
                Wait(r, "tls-recv");
                continue;
            }
            data += r;
            n -= size_t(r);
        }
    }

private:
    void Wait(int result, const char *what)
    {
        switch (SSL_get_error(m_ssl, result)) {
        case SSL_ERROR_WANT_READ:
            WaitFd(m_fd, POLLIN);
            break;
        case SSL_ERROR_WANT_WRITE:
            WaitFd(m_fd, POLLOUT);
            break;
        case SSL_ERROR_ZERO_RETURN:
            Fail("peer-closed");
        default:
            ERR_print_errors_fp(stdout);
            Fail(what);
        }
    }

    int m_fd;
    SSL_CTX *m_ctx = nullptr;
    SSL *m_ssl = nullptr;
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

int PingPong(const Options &o)
{
    const long long count = o.count ? o.count : 20000;
    const size_t size = size_t(o.size ? o.size : 16);
    const int fd = ConnectBlocking(o.port);
    std::unique_ptr<TlsStream> tls;
    if (o.tls)
        tls = std::make_unique<TlsStream>(fd);
    std::vector<char> out(size), in(size);
    std::vector<double> latencyUs;
    latencyUs.reserve(size_t(count));
    const auto start = Clock::now();
    for (long long i = 0; i < count; ++i) {
        // Printable bytes that change every time, so no message looks alike.
        for (size_t k = 0; k < size; ++k)
            out[k] = char('A' + (i + static_cast<long long>(k)) % 26);
        const auto t0 = Clock::now();
        if (tls) {
            tls->WriteAll(out.data(), size);
            tls->ReadExactly(in.data(), size);
        } else {
            WriteAll(fd, out.data(), size);
            ReadExactly(fd, in.data(), size);
        }
        latencyUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        if (in != out)
            Fail("echo-mismatch");
    }
    const double s = Seconds(start, Clock::now());
    tls.reset();
    close(fd);
    std::printf("round_trips=%lld\nseconds=%.3f\nrt_per_s=%.0f\np50_us=%.1f\np99_us=%.1f\n", count, s,
                double(count) / s, Percentile(latencyUs, 0.50), Percentile(latencyUs, 0.99));
    return 0;
}

// Sends the bytes, half-closes, and counts the time until the server has
// taken everything and closed its side.
int Bulk(const Options &o)
{
    const int fd = ConnectBlocking(o.port);
    std::vector<char> chunk(size_t(o.chunk));
    // Printable text in lines, so a text-mode log sees ordinary characters.
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = (i % 64 == 63) ? '\n' : char('a' + i % 26);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const auto start = Clock::now();
    long long left = o.bytes;
    while (left > 0) {
        const size_t n = size_t(std::min<long long>(left, o.chunk));
        WriteAll(fd, chunk.data(), n);
        left -= static_cast<long long>(n);
    }
    const auto sent = Clock::now();
    shutdown(fd, SHUT_WR);
    char sink[4096];
    for (;;) {
        const ssize_t r = recv(fd, sink, sizeof sink, 0);
        if (r == 0)
            break;
        if (r < 0 && errno == EAGAIN) {
            WaitFd(fd, POLLIN);
            continue;
        }
        if (r < 0 && errno != EINTR)
            break;  // a reset also ends the transfer
    }
    const double s = Seconds(start, Clock::now());
    close(fd);
    std::printf("bytes=%lld\nseconds=%.3f\nsend_seconds=%.3f\nmb_per_s=%.1f\n", o.bytes, s,
                Seconds(start, sent), double(o.bytes) / 1e6 / s);
    return 0;
}

int Udp(const Options &o)
{
    const long long count = o.count ? o.count : 100000;
    const size_t size = size_t(o.size ? o.size : 64);
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        Fail("socket");
    const sockaddr_in a = Loopback(o.port);
    std::vector<char> d(size, 'u');
    long long sent = 0, failed = 0;
    const auto start = Clock::now();
    for (long long i = 0; i < count; ++i) {
        std::memcpy(d.data(), &i, std::min(sizeof i, size));
        if (sendto(fd, d.data(), size, 0, reinterpret_cast<const sockaddr *>(&a), sizeof a) == ssize_t(size))
            ++sent;
        else
            ++failed;
    }
    const double s = Seconds(start, Clock::now());
    close(fd);
    std::printf("datagrams_sent=%lld\nsend_failed=%lld\nseconds=%.3f\nsend_rate=%.0f\n", sent, failed, s,
                double(sent) / s);
    return 0;
}

// Opens conns connections (at most window of them between connect and echo
// at a time), sends one message on each and waits for its echo; all stay open
// until the last echo, so the server holds them all at once.
int Accept(const Options &o)
{
    const long long conns = o.conns;
    const size_t size = size_t(o.size ? o.size : 16);
    const int ep = epoll_create1(0);
    struct Conn
    {
        int fd = -1;
        size_t got = 0;
        bool sent = false;
        bool done = false;
    };
    std::vector<Conn> all(static_cast<size_t>(conns));
    std::string msg(size, 'c');
    long long opened = 0, finished = 0, inFlight = 0, retries = 0;
    const auto start = Clock::now();
    g_start = start;
    g_completed = 0;
    auto open = [&](long long i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (fd < 0)
            Fail("socket");
        const sockaddr_in a = Loopback(o.port);
        if (connect(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) < 0 && errno != EINPROGRESS)
            Fail("connect");
        all[size_t(i)].fd = fd;
        epoll_event e {};
        e.events = EPOLLOUT | EPOLLIN;
        e.data.u64 = uint64_t(i);
        epoll_ctl(ep, EPOLL_CTL_ADD, fd, &e);
        ++inFlight;
    };
    std::vector<epoll_event> events(256);
    while (finished < conns) {
        while (opened < conns && inFlight < o.window)
            open(opened++);
        const int n = epoll_wait(ep, events.data(), int(events.size()), MsLeft());
        for (int k = 0; k < n; ++k) {
            Conn &c = all[events[size_t(k)].data.u64];
            const long long index = static_cast<long long>(events[size_t(k)].data.u64);
            if (c.done)
                continue;
            if (events[size_t(k)].events & (EPOLLERR | EPOLLHUP)) {
                // Refused or reset (the server's queue overflowed): try again.
                epoll_ctl(ep, EPOLL_CTL_DEL, c.fd, nullptr);
                close(c.fd);
                c = Conn {};
                --inFlight;
                ++retries;
                open(index);
                continue;
            }
            if (!c.sent && (events[size_t(k)].events & EPOLLOUT)) {
                if (send(c.fd, msg.data(), size, MSG_NOSIGNAL) != ssize_t(size))
                    Fail("send");
                c.sent = true;
                epoll_event e {};
                e.events = EPOLLIN;
                e.data.u64 = uint64_t(index);
                epoll_ctl(ep, EPOLL_CTL_MOD, c.fd, &e);
            }
            if (events[size_t(k)].events & EPOLLIN) {
                char buf[256];
                const ssize_t r = recv(c.fd, buf, sizeof buf, 0);
                if (r > 0)
                    c.got += size_t(r);
                else if (r == 0)
                    Fail("closed-before-echo");
                if (c.got >= size) {
                    c.done = true;
                    epoll_ctl(ep, EPOLL_CTL_DEL, c.fd, nullptr);
                    ++finished;
                    g_completed = finished;
                    --inFlight;
                }
            }
        }
    }
    const double s = Seconds(start, Clock::now());
    std::printf("connections=%lld\nseconds=%.3f\nconns_per_s=%.0f\nretries=%lld\n", conns, s,
                double(conns) / s, retries);
    std::fflush(stdout);
    for (Conn &c : all)
        close(c.fd);
    close(ep);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: loadgen pingpong|bulk|udp|accept --port P [options]\n");
        return 2;
    }
    Options o;
    o.mode = argv[1];
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        const long long v = std::atoll(argv[i + 1]);
        if (k == "--port")
            o.port = int(v);
        else if (k == "--count")
            o.count = v;
        else if (k == "--size")
            o.size = v;
        else if (k == "--bytes")
            o.bytes = v;
        else if (k == "--chunk")
            o.chunk = v;
        else if (k == "--conns")
            o.conns = v;
        else if (k == "--window")
            o.window = int(v);
        else if (k == "--timeout")
            o.timeoutS = int(v);
        else if (k == "--tls")
            o.tls = v != 0;
        else {
            std::fprintf(stderr, "loadgen: unknown option %s\n", k.c_str());
            return 2;
        }
    }
    if (o.port <= 0)
        return 2;
    g_deadline = Clock::now() + std::chrono::seconds(o.timeoutS);
    if (o.mode == "pingpong")
        return PingPong(o);
    if (o.mode == "bulk")
        return Bulk(o);
    if (o.mode == "udp")
        return Udp(o);
    if (o.mode == "accept")
        return Accept(o);
    std::fprintf(stderr, "loadgen: unknown mode %s\n", o.mode.c_str());
    return 2;
}
