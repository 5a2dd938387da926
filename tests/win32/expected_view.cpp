// expected_view: what the main window must show, decided by the window layer itself. It runs
// TMainFrm against a recording view and the scripted line, answering like a unitsim held at the
// same seed and time, and prints the result in the form the Win32 test driver reads off the real
// window. So the face tests under Wine compare the face with the layer, not with texts written by hand.
//
//   expected_view SCENARIO LANGUAGE_FILE COM [SEED HOLD_MS]
//
//   first-poll     start-up and one poll                           -> view dump
//   silent         start-up and one poll of a unit that never answers -> view dump
//   dialog-closed  first-poll, the port dialog closed by its title bar, one more tick -> view dump
//   dialog-closed-in-poll  the same with the dialog chosen while the next poll waits for the unit
//   export         first-poll, then Copy to Clipboard              -> the clipboard's bytes
//   no-printer     first-poll, then Print without a printer        -> "title T" and "text T" lines
//   captions       the port dialog's label and button              -> "label T" and "button T" lines
//   no-language    start-up without MY.LNG (LANGUAGE_FILE unused)  -> "title T" and "text T" lines
//   layout         the main window's layout at the pixel density COM gives in dots per inch (96
//                  if none)  -> "client W H", then "NAME L T W H" per placed control ("NAME L T"
//                  for one sized to its text)

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/Protocol.h"
#include "testing/FakeSerial.h"
#include "testing/ProgramState.h"
#include "testing/RecordingView.h"
#include "testing/TempDir.h"
#include "tests/win32/HeldUnit.h"
#include "tests/win32/ViewDump.h"
#include "tools/unitsim/BurnerModel.h"
#include "tools/unitsim/Wire.h"
#include "window/Captions.h"
#include "window/FormLayout.h"
#include "window/uMainFrm.h"

namespace {

using kalvo::ComponentImage;

constexpr ComponentImage ComponentImages[] = {ComponentImage::ImageHeizung, ComponentImage::ImageTrafo,
    ComponentImage::ImageMotor, ComponentImage::ImageFlamme, ComponentImage::ImageVentil1,
    ComponentImage::ImageVentil2};

kalvo::viewdump::ViewDump DumpOf(const kalvo::test::RecordingView& view)
{
    kalvo::viewdump::ViewDump dump;
    for (int label = 2; label <= 6; ++label)
        dump.labels[static_cast<std::size_t>(label - 2)] = view.labels.at(label);
    for (std::size_t i = 0; i < dump.images.size(); ++i)
        dump.images[i] = view.imageVisible.at(ComponentImages[i]);
    for (std::size_t i = 0; i < view.checkList.size(); ++i)
        dump.checkItems.emplace_back(view.checkMarks.at(i), view.checkList[i]);
    dump.checkListEnabled = view.checkListEnabled;
    for (int tab = 3; tab <= 10; ++tab)
        dump.errorTabs[static_cast<std::size_t>(tab - 3)] = view.tabCaptions.at(tab);
    dump.activePage = view.activePage;
    dump.activeErrorTab = view.activeErrorTab;
    dump.panels = view.panels;
    for (int memo = 1; memo <= 10; ++memo) {
        dump.memos[static_cast<std::size_t>(memo - 1)] = view.memos.at(memo);
        const auto visible = view.memoVisible.find(memo);
        dump.memoVisible[static_cast<std::size_t>(memo - 1)] = visible == view.memoVisible.end() || visible->second;
    }
    return dump;
}

// One program run in simulated time: its folder with the language file and the settings naming
// the port, the scripted line, the recording view and the main window's behaviour.
class Run {
public:
    // An empty language file name: the program's folder has none.
    Run(const std::string& languageFile, int port)
    {
        if (!languageFile.empty())
            std::filesystem::copy_file(languageFile, files.languageFile);
        kalvo::test::WriteFileBytes(files.settingsFile, "[Main]\r\nCOM=" + std::to_string(port) + "\r\n");
        view.onCloseWindow = [this] { frame.FormHide(); };
        frame.FormCreate();
    }

    // The unit answers every request like unitsim --seed SEED --hold-at HOLD_MS.
    void AnswerAsHeldUnit(std::uint32_t seed, std::chrono::milliseconds holdAt)
    {
        kalvo::test::AnswerAsHeldUnit(serial, seed, holdAt);
    }

    void StartAndPoll()
    {
        frame.FormShow();
        frame.Timer1Timer();
    }

    kalvo::test::TempDir dir;
    kalvo::ProgramFiles files{dir.file("MY.LNG"), dir.file("kalvo.ini")};
    kalvo::FakeSerialSystem serial;
    kalvo::test::ProgramStateGuard state{&serial};
    kalvo::test::RecordingView view;
    TMainFrm frame{view.Face(), files};
};

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintErrorBox(const kalvo::test::RecordingView& view)
{
    if (view.errorBoxes.size() != 1)
        throw std::runtime_error("not exactly one error box was shown");
    Print("title " + view.errorBoxTitles.front() + "\ntext " + view.errorBoxes.front() + "\n");
}

void PrintLayout(int dpi)
{
    const auto form = kalvo::layout::Scaled(kalvo::layout::MainFrm, dpi);
    std::string out = "client " + std::to_string(form.client.width) + " " + std::to_string(form.client.height) + "\n";
    for (const kalvo::layout::Control& control : form.controls) {
        const kalvo::layout::Rect& at = control.bounds;
        out += std::string(control.name) + " " + std::to_string(at.left) + " " + std::to_string(at.top);
        if (at.width != 0 || at.height != 0)
            out += " " + std::to_string(at.width) + " " + std::to_string(at.height);
        out += "\n";
    }
    Print(out);
}

int Scenario(const std::vector<std::string>& args)
{
    const std::string& scenario = args.at(0);
    if (scenario == "captions") {
        Print(std::string("label ") + kalvo::ComPortFrmCaption::Label1 + "\nbutton " + kalvo::ComPortFrmCaption::Button1 +
              "\n");
        return 0;
    }
    if (scenario == "layout") {
        PrintLayout(args.size() > 2 ? std::stoi(args[2]) : kalvo::layout::DesignDpi);
        return 0;
    }
    if (scenario == "no-language") {
        Run run("", std::stoi(args.at(2)));
        run.frame.FormShow();
        PrintErrorBox(run.view);
        return 0;
    }
    Run run(args.at(1), std::stoi(args.at(2)));
    if (scenario == "silent") {
        run.StartAndPoll();
        Print(kalvo::viewdump::FormatViewDump(DumpOf(run.view)));
        return 0;
    }
    run.AnswerAsHeldUnit(static_cast<std::uint32_t>(std::stoul(args.at(3))), std::chrono::milliseconds(std::stoll(args.at(4))));
    run.StartAndPoll();
    if (scenario == "first-poll") {
        Print(kalvo::viewdump::FormatViewDump(DumpOf(run.view)));
    } else if (scenario == "dialog-closed") {
        run.frame.COMPort1Click();  // the recording view's dialog closes without OK
        run.frame.Timer1Timer();
        Print(kalvo::viewdump::FormatViewDump(DumpOf(run.view)));
    } else if (scenario == "dialog-closed-in-poll") {
        // The menu command runs inside the waiting poll, which then goes on without a port.
        bool chosen = false;
        run.view.onProcessPendingMessages = [&] {
            if (!std::exchange(chosen, true))
                run.frame.COMPort1Click();
        };
        run.frame.Timer1Timer();
        run.view.onProcessPendingMessages = nullptr;
        run.frame.Timer1Timer();
        Print(kalvo::viewdump::FormatViewDump(DumpOf(run.view)));
    } else if (scenario == "export") {
        run.frame.BitBtn1Click();
        Print(run.view.clipboard);
    } else if (scenario == "no-printer") {
        run.view.printerStatus = kalvo::PrintJobStatus::NoDefaultPrinter;
        run.frame.BitBtn2Click();
        PrintErrorBox(run.view);
    } else {
        throw std::runtime_error("unknown scenario " + scenario);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: expected_view SCENARIO LANGUAGE_FILE COM [SEED HOLD_MS]\n", stderr);
        return 2;
    }
    try {
        return Scenario({argv + 1, argv + argc});
    } catch (const std::exception& error) {
        std::fprintf(stderr, "expected_view: %s\n", error.what());
        return 1;
    }
}
