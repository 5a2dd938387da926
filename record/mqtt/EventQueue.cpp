#include "record/mqtt/EventQueue.h"

namespace kalvo::mqtt {

void EventQueue::Push(Message message)
{
    if (capacity_ == 0) {
        ++dropped_;
        return;
    }
    if (events_.size() == capacity_) {
        events_.pop_front();
        ++dropped_;
    }
    events_.push_back(std::move(message));
}

}  // namespace kalvo::mqtt
