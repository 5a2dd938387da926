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
BrokerAddress ParseBrokerUrl(const std::string& url);

}  // namespace kalvo::mqtt
