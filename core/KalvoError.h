#pragma once

#include <stdexcept>
#include <string>

namespace kalvo {

// An error that leaves the event handler in which it occurs and shows in the program's error box.
class KalvoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The error box's text: the message, with "." appended when its last character sorts after ".".
std::string ErrorBoxText(const std::string& message);

}  // namespace kalvo
