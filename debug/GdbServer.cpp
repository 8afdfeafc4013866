#include "debug/GdbServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "debug/GdbStub.h"

namespace {

constexpr int PollMs = 5;

// Sends everything, giving up on a client that stops reading for long.
bool SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    int stalls = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            stalls = 0;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ++stalls < 400) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, PollMs);
            continue;
        }
        return false;
    }
    return true;
}

void Refuse(int fd) {
    SendAll(fd, GdbFrame("E.another debugger is attached to this machine; one client at a time"));
    ::close(fd);
}

} // namespace

GdbServer::GdbServer(GdbTarget& t) : target(t) {}

GdbServer::~GdbServer() { Stop(); }

bool GdbServer::Start(uint16_t requested, std::string* error) {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(requested);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // never reachable from another machine
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 || ::listen(listener, 2) < 0) {
        if (error) *error = "cannot listen on 127.0.0.1:" + std::to_string(requested) + ": " + std::strerror(errno);
        ::close(listener);
        listener = -1;
        return false;
    }
    socklen_t size = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    stopRequested.store(false);
    thread = std::thread(&GdbServer::Serve, this);
    return true;
}

void GdbServer::Stop() {
    stopRequested.store(true, std::memory_order_release);
    if (thread.joinable()) thread.join();
    if (listener >= 0) ::close(listener);
    listener = -1;
}

void GdbServer::Serve() {
    while (!stopRequested.load(std::memory_order_acquire)) {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        const int yes = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        ServeClient(client);
    }
}

void GdbServer::ServeClient(int client) {
    connected.store(true, std::memory_order_release);
    if (onChange) onChange(true);
    GdbSession session(target);
    uint8_t buffer[4096];
    std::string out;
    bool alive = true;
    while (alive && !stopRequested.load(std::memory_order_acquire) && !session.Finished()) {
        pollfd fds[2] = {{client, POLLIN, 0}, {listener, POLLIN, 0}};
        const int ready = ::poll(fds, 2, PollMs);
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            const int second = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (second >= 0) Refuse(second);
        }
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) alive = false; // the client went away, perhaps mid-packet
            else session.Receive(buffer, static_cast<size_t>(n), out);
        }
        session.Poll(out);
        if (!out.empty()) {
            if (!SendAll(client, out)) alive = false;
            out.clear();
        }
    }
    if (!session.Finished()) session.Abandon();
    ::close(client);
    connected.store(false, std::memory_order_release);
    if (onChange) onChange(false);
}
