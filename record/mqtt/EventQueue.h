#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace kalvo::mqtt {

struct Message {
    std::string topic;
    std::string payload;
    bool retain = false;
};

// Events waiting for the broker. Bounded: when it is full the oldest event goes, and is counted,
// so a broker that stays away for days costs a fixed amount of memory. Not thread-safe: its owner
// locks.
class EventQueue {
public:
    explicit EventQueue(std::size_t capacity) : capacity_(capacity) {}

    void Push(Message message);
    bool Empty() const { return events_.empty(); }
    std::size_t Size() const { return events_.size(); }
    const Message& Front() const { return events_.front(); }
    void PopFront() { events_.pop_front(); }
    std::uint64_t Dropped() const { return dropped_; }

private:
    std::size_t capacity_;
    std::deque<Message> events_;
    std::uint64_t dropped_ = 0;
};

}  // namespace kalvo::mqtt
