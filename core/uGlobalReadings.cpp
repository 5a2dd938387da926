#include "uGlobal.h"

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

}  // namespace uGlobal
