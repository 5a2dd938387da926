#include "record/ProgramVersion.h"

namespace kalvo::record {

std::string VersionLine(std::string_view program)
{
    return std::string(program) + " " KALVO_VERSION "\n";
}

}  // namespace kalvo::record
