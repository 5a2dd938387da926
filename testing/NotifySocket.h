#pragma once

// systemd's side of its notify protocol, for the tests of a program run as a service: a datagram
// socket that the program finds in NOTIFY_SOCKET. POSIX only; header-only, so builds without Unix
// sockets never compile it.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace kalvo::test {

class NotifySocket {
public:
    // Binds the socket at path (a file name short enough for a socket address).
    explicit NotifySocket(const std::filesystem::path& path) : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string name = path.string();
        if (fd_ < 0 || name.size() >= sizeof address.sun_path)
            throw std::runtime_error("no notify socket at " + name);
        name.copy(address.sun_path, sizeof address.sun_path - 1);
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot bind the notify socket " + name);
    }
    ~NotifySocket() { ::close(fd_); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    // The next datagram, or nothing within the limit.
    std::string Next(std::chrono::milliseconds limit)
    {
        pollfd readable{fd_, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(limit.count())) != 1)
            return {};
        char buffer[4096];
        const ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
        return count > 0 ? std::string(buffer, static_cast<std::size_t>(count)) : std::string();
    }

    // Reads datagrams until one holds the text (true) or none came within the limit (false).
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit)
    {
        for (std::string datagram = Next(limit); !datagram.empty(); datagram = Next(limit))
            if (datagram.find(text) != std::string::npos)
                return true;
        return false;
    }

private:
    int fd_;
};

}  // namespace kalvo::test
