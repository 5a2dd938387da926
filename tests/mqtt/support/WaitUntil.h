#pragma once

#include <chrono>
#include <thread>

namespace kalvo::test {

// Generous: a passing test never waits this long, a busy 2-core machine may need seconds.
inline constexpr std::chrono::seconds Patience{60};

// Checks the condition every 10 ms until it holds (true) or the limit passed (false).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = Patience)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace kalvo::test
