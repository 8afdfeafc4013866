// The GDB stub on a TCP port: listens on 127.0.0.1 only, serves one client
// at a time (a second is told so and closed), and runs its socket loop in a
// thread of its own. The machine is reached only through the GdbTarget.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class GdbTarget;

class GdbServer {
public:
    explicit GdbServer(GdbTarget& target);
    ~GdbServer();
    GdbServer(const GdbServer&) = delete;
    GdbServer& operator=(const GdbServer&) = delete;

    // Binds and starts the thread; false with a message (the port is taken...).
    // Port 0 picks a free port, which Port() then tells.
    bool Start(uint16_t port, std::string* error);
    void Stop();
    uint16_t Port() const { return port; }
    bool ClientConnected() const { return connected.load(std::memory_order_acquire); }
    // Called on the server's thread when a client arrives or leaves.
    void OnClientChange(std::function<void(bool connected)> callback) { onChange = std::move(callback); }

private:
    void Serve();
    void ServeClient(int client);

    GdbTarget& target;
    int listener = -1;
    uint16_t port = 0;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> connected{false};
    std::function<void(bool)> onChange;
};
