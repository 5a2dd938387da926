#include "record/ServiceStatus.h"

namespace kalvo::record {

namespace {

// 1540 as "1,540".
std::string Grouped(long long count)
{
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (auto at = static_cast<long long>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return (count < 0 ? "-" : "") + digits;
}

}  // namespace

std::string ServiceStatusLine(
    const std::string& port, long long polls, long long lockouts, std::optional<bool> brokerConnected)
{
    std::string line = port + ": " + Grouped(polls) + (polls == 1 ? " poll, " : " polls, ") + Grouped(lockouts)
        + (lockouts == 1 ? " lockout" : " lockouts");
    if (brokerConnected)
        line += *brokerConnected ? ", broker connected" : ", broker not connected";
    return line;
}

void ServiceNotifier::AfterPoll(const std::string& statusLine)
{
    send_(std::string(ready_ ? "" : "READY=1\n") + "STATUS=" + statusLine + "\nWATCHDOG=1");
    ready_ = true;
}

void ServiceNotifier::Stopping()
{
    send_("STOPPING=1");
}

}  // namespace kalvo::record
