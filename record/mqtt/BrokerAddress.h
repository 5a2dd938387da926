#pragma once

#include <string>

namespace kalvo::mqtt {

// Where the broker listens, from a URL mqtt://host[:port] or mqtts://host[:port].
struct BrokerAddress {
    std::string host;
    int port = 0;
    bool tls = false;  // mqtts://

    std::string Url() const;
};

// Throws std::invalid_argument with a text for the user when the URL is not one of the two forms.
// A URL with a user or password in it is refused without being echoed: the secret would land in
// the journal.
BrokerAddress ParseBrokerUrl(const std::string& url);

// The text with its control characters written as \xNN, for messages that quote what the user
// gave: an escape sequence in it must not steer the terminal.
std::string Printable(const std::string& text);

}  // namespace kalvo::mqtt
