#include "support/TcpRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tegaro {

namespace {
sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}
} // namespace

TcpRelay::TcpRelay(std::uint16_t serverPort) : serverPort_(serverPort)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw std::runtime_error("no pipe for the relay");
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    listen();
    thread_ = std::thread([this] { run(); });
}

TcpRelay::~TcpRelay()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake();
    thread_.join();
    if (listener_ >= 0)
        close(listener_);
    close(wakeRead_);
    close(wakeWrite_);
}

void TcpRelay::listen()
{
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = loopback(port_);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener_, 64) != 0)
        throw std::runtime_error("the relay cannot listen");
    socklen_t size = sizeof a;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
}

void TcpRelay::wake()
{
    const char c = 0;
    [[maybe_unused]] ssize_t n = write(wakeWrite_, &c, 1);
}

void TcpRelay::cut()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cut_ = changed_ = true;
    }
    wake();
    // The thread has closed every link and the listener when it answers.
    for (;;) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!changed_)
            return;
        std::this_thread::yield();
    }
}

void TcpRelay::restore()
{
    std::lock_guard<std::mutex> lock(mutex_);
    cut_ = false;
    wake();
}

void TcpRelay::run()
{
    struct Link {
        int client, server;
    };
    std::vector<Link> links;
    char buffer[64 * 1024];
    for (;;) {
        int listener;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_)
                break;
            if (changed_ && cut_) {
                for (const Link& l : links) {
                    close(l.client);
                    close(l.server);
                }
                links.clear();
                changed_ = false;
            }
            listener = listener_;
        }
        std::vector<pollfd> fds{{wakeRead_, POLLIN, 0}};
        if (listener >= 0)
            fds.push_back({listener, POLLIN, 0});
        const size_t first = fds.size();
        for (const Link& l : links) {
            fds.push_back({l.client, POLLIN, 0});
            fds.push_back({l.server, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents) {
            char c[64];
            [[maybe_unused]] ssize_t n = read(wakeRead_, c, sizeof c);
        }
        if (listener >= 0 && fds[1].revents & POLLIN) {
            const int client = accept(listener, nullptr, nullptr);
            // Read now, not before the poll: restore() and the next connect
            // can wake the same poll, and that link must go through.
            bool cut;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                cut = cut_;
            }
            if (client >= 0 && cut) {
                // Reset at once, as nobody were there.
                linger reset{1, 0};
                setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                close(client);
            } else if (client >= 0) {
                const int server = socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in a = loopback(serverPort_);
                if (connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
                    links.push_back({client, server});
                    ++links_;
                } else {
                    close(client);
                    close(server);
                }
            }
        }
        std::vector<Link> open;
        for (size_t i = 0; i < links.size(); ++i) {
            bool alive = true;
            for (int side = 0; side < 2 && alive; ++side) {
                const pollfd& p = fds[first + 2 * i + size_t(side)];
                if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = read(p.fd, buffer, sizeof buffer);
                const int to = side == 0 ? links[i].server : links[i].client;
                alive = n > 0;
                for (ssize_t sent = 0; alive && sent < n;) {
                    const ssize_t w = send(to, buffer + sent, size_t(n - sent), MSG_NOSIGNAL);
                    alive = w > 0;
                    sent += w > 0 ? w : 0;
                }
            }
            if (alive) {
                open.push_back(links[i]);
            } else {
                close(links[i].client);
                close(links[i].server);
            }
        }
        links.swap(open);
    }
    for (const Link& l : links) {
        close(l.client);
        close(l.server);
    }
}

} // namespace tegaro
