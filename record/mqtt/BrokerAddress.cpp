#include "record/mqtt/BrokerAddress.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <stdexcept>

namespace kalvo::mqtt {

namespace {

constexpr int PlainPort = 1883;
constexpr int TlsPort = 8883;

// The URL as an error may quote it: a query or fragment may hold a secret ("?password=..."), and
// is left out as a user part is.
std::string Quotable(const std::string& url)
{
    const std::size_t hidden = url.find_first_of("?#");
    return Printable(url.substr(0, hidden)) + (hidden == std::string::npos ? "" : "?...");
}

[[noreturn]] void Reject(const std::string& url, const std::string& why)
{
    throw std::invalid_argument("not a broker address: \"" + Quotable(url) + "\" (" + why
        + "); use mqtt://host[:port] or mqtts://host[:port]");
}

bool Control(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

int ParsePort(const std::string& url, const std::string& text)
{
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc{} || end != text.data() + text.size() || port < 1 || port > 65535)
        Reject(url, "the port must be a number from 1 to 65535");
    return port;
}

}  // namespace

std::string BrokerAddress::Url() const
{
    const bool bracketed = host.find(':') != std::string::npos;  // an IPv6 literal
    return std::string(tls ? "mqtts://" : "mqtt://") + (bracketed ? "[" + host + "]" : host) + ":" +
           std::to_string(port);
}

std::string Printable(const std::string& text)
{
    std::string printable;
    for (const unsigned char c : text) {
        if (Control(c)) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            printable += escaped;
        } else {
            printable += static_cast<char>(c);
        }
    }
    return printable;
}

BrokerAddress ParseBrokerUrl(const std::string& url)
{
    const std::size_t authority = url.find("://");
    if (url.find('@', authority == std::string::npos ? 0 : authority) != std::string::npos)
        throw std::invalid_argument("a user or password does not belong in the broker address: give the user with "
                                    "--mqtt-user and the password as the first line of --mqtt-password-file FILE "
                                    "or in the environment variable KALVO_MQTT_PASSWORD");
    if (std::any_of(url.begin(), url.end(), [](unsigned char c) { return c == ' ' || Control(c); }))
        Reject(url, "spaces or control characters do not belong in it");
    BrokerAddress address;
    std::string rest;
    if (url.starts_with("mqtt://")) {
        rest = url.substr(7);
    } else if (url.starts_with("mqtts://")) {
        address.tls = true;
        rest = url.substr(8);
    } else {
        Reject(url, "unknown scheme");
    }
    address.port = address.tls ? TlsPort : PlainPort;
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.find_first_of("/?#") != std::string::npos)
        Reject(url, "a path or query does not belong in it");

    std::string portText;
    bool hasPort = false;
    if (rest.starts_with("[")) {  // [IPv6]:port
        const std::size_t close = rest.find(']');
        if (close == std::string::npos)
            Reject(url, "unclosed [");
        address.host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':')
                Reject(url, "unexpected text after ]");
            hasPort = true;
            portText = after.substr(1);
        }
    } else {
        const std::size_t colon = rest.find(':');
        address.host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            hasPort = true;
            portText = rest.substr(colon + 1);
        }
    }
    if (address.host.empty())
        Reject(url, "no host");
    if (hasPort)
        address.port = ParsePort(url, portText);
    return address;
}

}  // namespace kalvo::mqtt
