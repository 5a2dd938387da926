#include "record/ProgramVersion.h"

namespace kalvo::record {

std::string_view ProgramVersion()
{
    return KALVO_VERSION;
}

std::string VersionLine(std::string_view program)
{
    return std::string(program) + " " + std::string(ProgramVersion()) + "\n";
}

}  // namespace kalvo::record
