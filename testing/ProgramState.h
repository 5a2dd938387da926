#pragma once

#include "core/SerialLine.h"
#include "core/WindowLink.h"
#include "core/uGlobal.h"

namespace kalvo::test {

// Resets the program-wide state when it is made and again when it goes, so that no test, soak
// session or benchmark sees what another left behind, and wires the serial system and the window
// link in between. Declare it after the serial system it wires: a port still open at the end is
// closed while its system is alive.
class ProgramStateGuard {
public:
    explicit ProgramStateGuard(SerialSystem* serial = nullptr, WindowLink* window = nullptr)
    {
        uGlobal::ResetProgramState();
        uGlobal::Serial = serial;
        uGlobal::Window = window;
    }
    ~ProgramStateGuard() { uGlobal::ResetProgramState(); }
    ProgramStateGuard(const ProgramStateGuard&) = delete;
    ProgramStateGuard& operator=(const ProgramStateGuard&) = delete;
};

}  // namespace kalvo::test
