#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kalvo::record {

// "COM7: 1,540 polls, 0 lockouts, broker connected"; without a broker the last part is left out.
std::string ServiceStatusLine(
    const std::string& port, long long polls, long long lockouts, std::optional<bool> brokerConnected);

// Tells the service manager how the recorder is, in the notify protocol's assignments (sent with
// libsystemd's sd_notify): READY=1 after the first poll, the status line after each poll, and
// WATCHDOG=1 from the poll loop itself, so that a loop that stops polling is noticed and the
// recorder restarted even while its other threads run on.
class ServiceNotifier {
public:
    using Send = std::function<void(const std::string& assignments)>;

    explicit ServiceNotifier(Send send) : send_(std::move(send)) {}
    void AfterPoll(const std::string& statusLine);
    void Stopping();

private:
    Send send_;
    bool ready_ = false;
};

}  // namespace kalvo::record
