// kalvo.exe: the program entry of the Windows face.

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "core/SerialLine.h"
#include "core/uGlobal.h"
#include "ui/win32/SystemServices.h"
#include "ui/win32/Win32ComPortFrm.h"
#include "ui/win32/Win32MainFrm.h"
#include "ui/win32/Win32Text.h"
#include "window/uComPortFrm.h"
#include "window/uMainFrm.h"

namespace {

std::string ExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return kalvo::win32::NarrowFileName(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // The logo's JPEG decoder is a COM component.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    kalvo::win32::Win32MainFrm::RegisterWindowClasses(instance);

    const kalvo::ProgramFiles files = kalvo::ProgramFilesFor(ExecutablePath());
    const std::unique_ptr<kalvo::SerialSystem> serial = kalvo::MakePlatformSerialSystem(files.settingsFile);
    uGlobal::Serial = serial.get();

    int exitCode = 0;
    {
        // The main window first, then the port dialog, which lives hidden until the port command.
        kalvo::win32::Win32MainFrm mainWindow(instance);
        kalvo::win32::Win32ComPortFrm portDialog(instance);
        TMainFrm MainFrm(mainWindow.Face(), files);
        TComPortFrm ComPortFrm(portDialog);
        mainWindow.Bind(MainFrm, portDialog);
        portDialog.Bind(ComPortFrm);
        MainFrm.FormCreate();
        mainWindow.Show(showCommand);
        exitCode =
            kalvo::win32::RunMessageLoop([&mainWindow](const MSG& message) { return mainWindow.HandleKey(message); });
    }

    // A port left open (the settings could not be written at shutdown) goes before the system that opened it.
    uGlobal::ResetProgramState();
    CoUninitialize();
    return exitCode;
}
