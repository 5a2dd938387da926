#include "core/uGlobal.h"

#include <utility>

namespace uGlobal {

kalvo::ReadingTextSet ReadingTexts;
kalvo::StatusFlagSet StatusFlags{};
kalvo::LanguageLines LanguageTable;

void DecodeReadings()
{
    kalvo::DecodedReadings decoded = kalvo::DecodeReadings(StatusBlock, TimingBlock, LanguageTable);
    ReadingTexts = std::move(decoded.texts);
    StatusFlags = decoded.flags;
}

kalvo::PollResult LastPollResult()
{
    kalvo::PollResult poll;
    if (!PortHandle)
        poll.link = kalvo::LinkStatus::NoPort;
    else
        poll.link = ReplyTimedOut ? kalvo::LinkStatus::TransferError : kalvo::LinkStatus::Ok;
    poll.statusBlock = StatusBlock;
    poll.timingBlock = TimingBlock;
    poll.errorHistoryBlock = ErrorHistoryBlock;
    return poll;
}

}  // namespace uGlobal
