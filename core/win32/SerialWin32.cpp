#include "core/win32/SerialWin32.h"

#include <algorithm>
#include <memory>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "core/uGlobal.h"

namespace kalvo::win32 {

namespace {

// Applied on top of the port's current state; the stop bits are then set to two explicitly.
constexpr char LineSettingsText[] = "baud=9600 parity=n data=8 stop=1";
constexpr DWORD QueueSize = 4096;
constexpr DWORD PurgeEverything = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// Reads return at once because the read cycle only asks for bytes already counted waiting; a
// write of k bytes has at most 300 ms per byte plus 100 ms. A wait for input sets its own read
// time-out for its one read and puts these back.
COMMTIMEOUTS PortTimeouts()
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 500;
    timeouts.ReadTotalTimeoutMultiplier = 500;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = 300;
    timeouts.WriteTotalTimeoutConstant = 100;
    return timeouts;
}

// A read that returns as soon as it has all the bytes it asked for, or after the limit with what came.
COMMTIMEOUTS WaitTimeouts(DWORD limitMs)
{
    COMMTIMEOUTS timeouts = PortTimeouts();
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = limitMs;
    return timeouts;
}

// The flag-bits word becomes 1: binary mode and nothing else, so no parity check, no flow control
// of any kind, DTR and RTS held inactive, no character replacement, no abort on error.
constexpr void KeepOnlyBinaryFlag(DCB& dcb)
{
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    dcb.fDummy2 = 0;
}

// Failures with which the driver tells that the port went away (adapter unplugged, its device
// node removed, the handle no longer valid for it). Wine reports a line whose device hung up as
// not ready.
bool IsDeviceGoneError(DWORD error)
{
    switch (error) {
    case ERROR_NOT_READY:
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_INVALID_HANDLE:
        return true;
    default:
        return false;
    }
}

DWORD ClampToDword(std::size_t count)
{
    return static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
}

}  // namespace

Win32SerialPort::Win32SerialPort(void* handle) : handle_(handle) {}

Win32SerialPort::~Win32SerialPort()
{
    CloseHandle(handle_);
}

// None of these results is tested: the port stays open with whatever settings took effect.
void Win32SerialPort::Configure()
{
    ApplyLineSettings();
    COMMTIMEOUTS timeouts = PortTimeouts();
    SetCommTimeouts(handle_, &timeouts);
    SetupComm(handle_, QueueSize, QueueSize);
    PurgeComm(handle_, PurgeEverything);
    held_.clear();
}

void Win32SerialPort::ApplyLineSettings()
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle_, &dcb);
    BuildCommDCBA(LineSettingsText, &dcb);
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = TWOSTOPBITS;
    KeepOnlyBinaryFlag(dcb);
    SetCommState(handle_, &dcb);
}

void Win32SerialPort::Purge()
{
    held_.clear();
    if (!gone_ && !PurgeComm(handle_, PurgeEverything))
        NoteFailure(GetLastError());
}

std::size_t Win32SerialPort::Write(const std::uint8_t* data, std::size_t count)
{
    if (gone_)
        return 0;
    DWORD written = 0;
    // A write that runs out of time succeeds with fewer bytes; one that fails has lost its device.
    if (!WriteFile(handle_, data, ClampToDword(count), &written, nullptr))
        gone_ = true;
    return written;
}

std::size_t Win32SerialPort::BytesWaiting()
{
    if (gone_)
        return 0;
    return held_.size() + QueuedInDriver();
}

std::size_t Win32SerialPort::QueuedInDriver()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status)) {
        NoteFailure(GetLastError());
        return 0;
    }
    return status.cbInQue;
}

std::size_t Win32SerialPort::Read(std::uint8_t* buffer, std::size_t count)
{
    if (gone_)
        return 0;
    const std::size_t fromHeld = std::min(count, held_.size());
    std::copy_n(held_.begin(), fromHeld, buffer);
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(fromHeld));
    return fromHeld + (count > fromHeld ? ReadFromDriver(buffer + fromHeld, count - fromHeld) : 0);
}

std::size_t Win32SerialPort::ReadFromDriver(std::uint8_t* buffer, std::size_t count)
{
    DWORD got = 0;
    // Only bytes already waiting are asked for, so a read fails only when the device has gone.
    if (!ReadFile(handle_, buffer, ClampToDword(count), &got, nullptr))
        gone_ = true;
    return got;
}

// Without overlapped I/O the port has no event to wait on, but a read waits for its bytes: the
// wait reads everything the driver holds plus one byte, with the limit as the read's time-out, so
// the driver wakes it for the first new byte and it costs nothing while the line is quiet. What
// it read is held for the next Read, so BytesWaiting counts it as before.
void Win32SerialPort::WaitForInput(std::size_t seen, std::chrono::milliseconds limit)
{
    const auto limitMs = static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(limit.count(), 0, MAXDWORD - 1));
    const std::size_t inDriver = gone_ ? 0 : QueuedInDriver();
    // A time-out of zero would mean none at all: such a read would wait for ever.
    if (gone_ || held_.size() + inDriver > seen || limitMs == 0)
        return;
    // Under the port's own time-outs the read could hold the window for seconds.
    COMMTIMEOUTS waitTimeouts = WaitTimeouts(limitMs);
    if (!SetCommTimeouts(handle_, &waitTimeouts)) {
        NoteFailure(GetLastError());
        return;
    }
    const std::size_t wanted = inDriver + 1;
    const std::size_t before = held_.size();
    held_.resize(before + wanted);
    const std::size_t got = ReadFromDriver(held_.data() + before, wanted);
    held_.resize(before + got);
    COMMTIMEOUTS timeouts = PortTimeouts();
    SetCommTimeouts(handle_, &timeouts);
}

void Win32SerialPort::NoteFailure(unsigned long error)
{
    if (IsDeviceGoneError(error))
        gone_ = true;
}

// Exclusive (share mode 0): a port that another program holds fails with "access denied", which
// tells it from an absent one; no refusal is reported as the user's lack of rights.
OpenOutcome Win32SerialSystem::Open(int portNumber)
{
    std::string path = uGlobal::DevicePath(portNumber);
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        OpenOutcome refused;
        refused.inUse = ::GetLastError() == ERROR_ACCESS_DENIED;  // what a port held elsewhere answers
        return refused;
    }
    return {std::make_unique<Win32SerialPort>(handle)};
}

std::uint32_t Win32SerialSystem::TickCount()
{
    return GetTickCount();
}

}  // namespace kalvo::win32

namespace kalvo {

// Windows names its COM ports itself, so the settings file's "Ports" section plays no part here.
std::unique_ptr<SerialSystem> MakePlatformSerialSystem(const std::string&)
{
    return std::make_unique<win32::Win32SerialSystem>();
}

}  // namespace kalvo
