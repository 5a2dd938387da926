#include "core/uGlobal.h"

#include <utility>

namespace uGlobal {

kalvo::ReadingTextSet ReadingTexts;
kalvo::StatusFlagSet StatusFlags{};
kalvo::LanguageLines LanguageTable;

void DecodeReadings(const kalvo::Poll& poll)
{
    kalvo::DecodedReadings decoded = kalvo::ReadingsOf(poll.fields, LanguageTable);
    ReadingTexts = std::move(decoded.texts);
    StatusFlags = decoded.flags;
}

}  // namespace uGlobal
