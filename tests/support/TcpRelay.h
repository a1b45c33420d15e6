#pragma once
// A relay between the program and a server on this machine, for outages on
// demand: cut() breaks every link through it and resets new ones at once,
// as a stopped server does; restore() relays them again. The server itself
// is left alone, so others can go on using it. (The port stays taken while
// cut: let go, another connection could take it as its own.)
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace tegaro {

class TcpRelay {
public:
    explicit TcpRelay(std::uint16_t serverPort);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    std::uint16_t port() const { return port_; } // on 127.0.0.1
    void cut();
    void restore();
    int linksMade() const { return links_; }

private:
    void listen();
    void run();
    void wake();

    std::uint16_t serverPort_;
    std::uint16_t port_ = 0;
    int listener_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::mutex mutex_;
    bool cut_ = false, stop_ = false, changed_ = false;
    std::atomic<int> links_{0};
    std::thread thread_;
};

} // namespace tegaro
