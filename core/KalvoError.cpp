#include "core/KalvoError.h"

namespace kalvo {

std::string ErrorBoxText(const std::string& message)
{
    // Bytes compare unsigned, so a message ending in a letter or a byte above 0x7F gets its dot,
    // while one ending in "." or in "!" keeps its own punctuation.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + '.';
    return message;
}

}  // namespace kalvo
