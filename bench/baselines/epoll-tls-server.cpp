// The raw TLS baseline: the epoll server's echo with OpenSSL on every
// connection, single-threaded and non-blocking, on 127.0.0.1.
//
//   epoll-tls-server PORT CERT KEY [--max-seconds S]
//
// Prints "ready" once listening; on SIGTERM/SIGINT (or after --max-seconds,
// 600 by default) prints its counters as key=value lines and exits.
#include "epollloop.h"

#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

namespace {

struct Conn
{
    SSL *ssl = nullptr;
    bool secure = false;  // handshake done
    bool wantWrite = false;  // OpenSSL waits for the socket to take bytes
    std::string pending;  // echo bytes SSL_write did not take yet
};

long long g_bytes = 0, g_accepted = 0, g_handshakes = 0, g_failed = 0;

// What a failed call waits for: true to go on later, false when the
// connection is over (closed by the peer or broken).
bool Retry(Conn &c, int result)
{
    switch (SSL_get_error(c.ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return true;
    case SSL_ERROR_WANT_WRITE:
        c.wantWrite = true;
        return true;
    default:
        return false;
    }
}

bool Flush(Conn &c)
{
    while (!c.pending.empty()) {
        const int w = SSL_write(c.ssl, c.pending.data(), int(c.pending.size()));
        if (w <= 0)
            return Retry(c, w);
        c.pending.erase(0, size_t(w));
    }
    return true;
}

// Moves the connection as far as the socket allows: handshake, then every
// decrypted block written back. False when it is to be closed.
bool Drive(Conn &c)
{
    c.wantWrite = false;
    if (!c.secure) {
        const int r = SSL_accept(c.ssl);
        if (r != 1) {
            if (Retry(c, r))
                return true;
            ++g_failed;
            return false;
        }
        c.secure = true;
        ++g_handshakes;
    }
    static char buf[1 << 16];
    for (;;) {
        if (!Flush(c))
            return false;
        if (!c.pending.empty())
            return true;
        const int r = SSL_read(c.ssl, buf, sizeof buf);
        if (r <= 0)
            return Retry(c, r);
        g_bytes += r;
        c.pending.assign(buf, size_t(r));
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: epoll-tls-server PORT CERT KEY [--max-seconds S]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int maxSeconds = (argc > 5 && std::string(argv[4]) == "--max-seconds") ? std::atoi(argv[5]) : 600;
    EpollLoop::CatchSignals();

    SSL_CTX *ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(ctx, argv[2]) != 1
        || SSL_CTX_use_PrivateKey_file(ctx, argv[3], SSL_FILETYPE_PEM) != 1
        || SSL_CTX_check_private_key(ctx) != 1) {
        ERR_print_errors_fp(stderr);
        return 1;
    }

    EpollLoop loop(SOCK_STREAM, port);
    std::unordered_map<int, Conn> conns;
    loop.run(maxSeconds, [&](const epoll_event &event) {
        const int fd = event.data.fd;
        if (fd == loop.listener()) {
            loop.acceptAll([&](int c) {
                ++g_accepted;
                Conn &conn = conns[c];
                conn.ssl = SSL_new(ctx);
                SSL_set_fd(conn.ssl, c);
            });
            return;
        }
        Conn &conn = conns[fd];
        if (!Drive(conn)) {
            loop.forget(fd);
            SSL_free(conn.ssl);
            conns.erase(fd);
            close(fd);
            return;
        }
        loop.rewatch(fd, EPOLLIN | (conn.wantWrite ? EPOLLOUT : 0u));
    });
    std::printf("bytes_received=%lld\naccepted=%lld\nhandshakes=%lld\nhandshakes_failed=%lld\n", g_bytes,
                g_accepted, g_handshakes, g_failed);
    for (auto &[fd, conn] : conns) {
        SSL_free(conn.ssl);
        close(fd);
    }
    SSL_CTX_free(ctx);
    return 0;
}
