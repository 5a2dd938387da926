#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/Language.h"
#include "core/PollResult.h"
#include "core/Readings.h"
#include "core/SerialLine.h"
#include "core/WindowLink.h"

// Program-wide state and the device link: the serial port, the read cycle and the raw blocks it
// fills. Everything here runs on the user-interface thread.
namespace uGlobal {

inline constexpr int NoPort = -1;

extern int PortNumber;                                  // COM port 1..255, or NoPort
extern std::unique_ptr<kalvo::SerialPort> PortHandle;   // null whenever no port is open
extern bool StopRequested;                              // set once by Quit, never cleared
extern bool ReplyTimedOut;                              // a reply wait of this cycle ran over 1000 ms

extern kalvo::Block StatusBlock;        // data of the reply to 0x80
extern kalvo::Block TimingBlock;        // data of the reply to 0x81
extern kalvo::Block ErrorHistoryBlock;  // data of the reply to 0x82

extern kalvo::ReadingTextSet ReadingTexts;
extern kalvo::StatusFlagSet StatusFlags;
extern kalvo::LanguageLines LanguageTable;

// The platform's serial system (or a test's fake) and the main window; set before first use.
extern kalvo::SerialSystem* Serial;
extern kalvo::WindowLink* Window;

// Puts every piece of program-wide state back as it is at program start: no port (a port still open
// is closed), no stop request, zeroed blocks, empty texts, flags and language table, no serial
// system and no window. For programs that run many sessions in one process: tests, soak, bench.
void ResetProgramState();

// "\\?\COM" followed by the port number in decimal.
std::string DevicePath(int portNumber);

// Start-up's port check: opens the stored port and closes it again at once; a port that cannot
// be opened sets PortNumber to NoPort.
void CheckStoredPort();
void OpenPort();
void ClosePort();
void ShowPortStatus();

// One poll of the unit: the three request/reply exchanges into the three blocks. Returns the poll
// as one value: how the link went (no port open: NoPort; a reply wait ran over its limit:
// TransferError), the blocks as the cycle left them and their fields, decoded once.
kalvo::Poll ReadCycle();
// Turns the poll's fields into ReadingTexts and StatusFlags.
void DecodeReadings(const kalvo::Poll& poll);

}  // namespace uGlobal
