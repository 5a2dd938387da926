// unitsim: a simulated Ombrel RZ on a pseudo-terminal, for demonstrations, end-to-end tests and
// benchmarks of Kalvo.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/KalvoError.h"
#include "core/Settings.h"
#include "record/ProgramVersion.h"
#include "tools/unitsim/Behaviour.h"
#include "tools/unitsim/BurnerModel.h"
#include "tools/unitsim/Options.h"
#include "tools/unitsim/PseudoTerminal.h"
#include "tools/unitsim/Replay.h"
#include "tools/unitsim/TransmitLine.h"
#include "tools/unitsim/Wire.h"

namespace unitsim {
namespace {

constexpr int ExitFailure = 1;
constexpr int ExitBadCommandLine = 2;

int stopPipe[2] = {-1, -1};

void RequestStop(int)
{
    const char byte = 0;
    [[maybe_unused]] const auto ignored = ::write(stopPipe[1], &byte, 1);
}

// SIGINT and SIGTERM make the stop pipe readable, so the main loop notices them in its poll.
void InstallStopHandlers()
{
    if (::pipe(stopPipe) < 0)
        throw std::system_error(errno, std::generic_category(), "cannot create the stop pipe");
    for (int fd : stopPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(stopPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action{};
    action.sa_handler = RequestStop;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A reader that went away must not end the simulation through a write to standard output.
    ::signal(SIGPIPE, SIG_IGN);
}

std::string Hex(std::uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// Answers the read requests that arrive on the pseudo-terminal from the burner model, and plays
// the chosen misbehaviour.
class UnitServer {
public:
    UnitServer(const Options& options, std::uint32_t seed, std::optional<ReplaySource> replay)
        : options_(options),
          replay_(std::move(replay)),
          model_(seed),
          rng_(seed ^ 0x5A5A5A5Au),
          line_(options.pace ? TransmitLine::CharacterTime9600_8N2 : TransmitLine::Time{0}),
          start_(Clock::now())
    {
        if (options.holdAt)
            model_.Advance(*options.holdAt);
    }

    // Opens the first terminal and announces it; throws when that fails.
    void Start() { OpenTerminal(); }

    // Serves until the stop descriptor turns readable.
    void Run(int stopFd);

private:
    using Clock = std::chrono::steady_clock;
    using Time = TransmitLine::Time;

    Time Now() const { return std::chrono::duration_cast<Time>(Clock::now() - start_); }
    int PollTimeoutMs(Time now) const;
    void OpenTerminal();
    void ReadRequests(Time now);
    void Answer(std::uint8_t requestCode, Time now);
    void SendDue(Time now);
    void HangUp(Time now);
    void Log(const std::string& text) const;

    Options options_;
    std::optional<ReplaySource> replay_;  // a recording answers instead of the model
    BurnerModel model_;
    std::mt19937 rng_;
    RandomBehaviour randomBehaviour_;
    RequestParser parser_;
    TransmitLine line_;
    std::unique_ptr<PseudoTerminal> terminal_;
    std::optional<Time> reopenAt_;
    Clock::time_point start_;
    Time modelTime_{0};
};

void UnitServer::Run(int stopFd)
{
    for (;;) {
        std::vector<pollfd> fds{{stopFd, POLLIN, 0}};
        if (terminal_) {
            fds.push_back({terminal_->MasterFd(), POLLIN, 0});
            if (terminal_->CloseWatchFd() >= 0)
                fds.push_back({terminal_->CloseWatchFd(), POLLIN, 0});
        }
        const int ready = ::poll(fds.data(), static_cast<nfds_t>(fds.size()), PollTimeoutMs(Now()));
        if (ready < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "poll failed");
        if (fds[0].revents)
            return;
        const Time now = Now();
        if (terminal_ && fds.size() > 2 && fds[2].revents)
            terminal_->SlaveClosed();
        if (terminal_ && fds[1].revents)
            ReadRequests(now);
        if (replay_ && replay_->Finished()) {
            Log("end of the recording");
            return;
        }
        if (terminal_)
            SendDue(Now());
        if (reopenAt_ && now >= *reopenAt_)
            OpenTerminal();
    }
}

int UnitServer::PollTimeoutMs(Time now) const
{
    std::optional<Time> next = reopenAt_;
    if (const auto sent = line_.NextSent())
        next = next ? std::min(*next, *sent) : *sent;
    if (!next)
        return -1;
    // Round up, so the wake-up never comes before the byte is due.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(*next - now, Time{0}));
    return static_cast<int>(std::min<long long>(wait.count(), 60'000));
}

void UnitServer::OpenTerminal()
{
    terminal_ = std::make_unique<PseudoTerminal>();
    reopenAt_.reset();
    if (!options_.settingsPath.empty()) {
        const std::string comKey = "COM" + std::to_string(options_.comNumber);
        kalvo::WriteIniString(options_.settingsPath, "Ports", comKey, terminal_->SlavePath());
        kalvo::WriteIniInteger(options_.settingsPath, "Main", "COM", options_.comNumber);
    }
    std::cout << terminal_->SlavePath() << std::endl;
}

void UnitServer::ReadRequests(Time now)
{
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t count = ::read(terminal_->MasterFd(), buffer, sizeof buffer);
        if (count > 0) {
            for (std::uint8_t code : parser_.Feed({buffer, static_cast<std::size_t>(count)})) {
                Answer(code, now);
                if (!terminal_)
                    return;
            }
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EIO)
            throw std::system_error(errno, std::generic_category(), "cannot read the pseudo-terminal");
        return;
    }
}

void UnitServer::Answer(std::uint8_t requestCode, Time now)
{
    std::optional<Bytes> data;
    Behaviour behaviour = Behaviour::Normal;
    if (replay_) {
        // A recorded poll without a good link is played as a unit that does not answer.
        data = replay_->Answer(requestCode, now);
    } else {
        // The burner runs in real time, unless held; it catches up whenever somebody asks.
        if (!options_.holdAt) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - modelTime_);
            model_.Advance(elapsed);
            modelTime_ += elapsed;
        }
        behaviour = options_.behaviour ? *options_.behaviour : randomBehaviour_.ForNextRequest(rng_);
        data = model_.DataFor(requestCode);
    }
    const auto delay = options_.pace ? std::chrono::duration_cast<std::chrono::microseconds>(options_.replyDelay)
                                     : std::chrono::microseconds{0};
    const ReplyPlan plan = data ? PlanReply(behaviour, BuildReply(requestCode, *data), delay, rng_) : ReplyPlan{};

    std::size_t total = 0;
    for (const Chunk& chunk : plan.chunks) {
        line_.Queue(now + chunk.at, chunk.bytes);
        total += chunk.bytes.size();
    }
    const std::string answer = plan.hangUp ? "hang-up" : total ? "reply " + std::to_string(total) + " bytes" : "no reply";
    const std::string source = replay_ ? "poll " + std::to_string(replay_->PollIndex() + 1) + " of " +
                                             std::to_string(replay_->PollCount())
                                       : std::string(BehaviourName(behaviour));
    Log("request " + Hex(requestCode) + ", " + answer + " (" + source + ")");
    if (plan.hangUp)
        HangUp(now);
}

void UnitServer::SendDue(Time now)
{
    const Bytes due = line_.TakeSent(now);
    std::size_t written = 0;
    while (written < due.size()) {
        const ssize_t count = ::write(terminal_->MasterFd(), due.data() + written, due.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            // Nobody reads the port and its input queue is full: the rest is lost, as on a wire.
            Log(std::to_string(due.size() - written) + " bytes lost, the port's input queue is full");
            return;
        }
    }
}

void UnitServer::HangUp(Time now)
{
    terminal_.reset();
    line_.Clear();
    parser_.Reset();
    reopenAt_ = now + options_.hangUpTime;
}

void UnitServer::Log(const std::string& text) const
{
    if (options_.log)
        std::cerr << "unitsim: " << text << std::endl;
}

int Main(int argc, char** argv)
{
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << "unitsim: " << parsed.error << "\nTry 'unitsim --help'." << std::endl;
        return ExitBadCommandLine;
    }
    if (parsed.options.help || parsed.options.version) {
        std::cout << (parsed.options.help ? UsageText() : kalvo::record::VersionLine("unitsim"));
        return 0;
    }
    try {
        InstallStopHandlers();
        std::optional<ReplaySource> replay;
        if (!parsed.options.replayFolder.empty()) {
            replay.emplace(parsed.options.replayFolder, parsed.options.speed);
            for (const auto& span : replay->Missing())
                std::cerr << "unitsim: " << kalvo::record::MissingSpanText(span) << std::endl;
        }
        UnitServer server(parsed.options, parsed.options.seed ? *parsed.options.seed : std::random_device{}(),
                          std::move(replay));
        server.Start();
        server.Run(stopPipe[0]);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "unitsim: " << error.what() << std::endl;
        return ExitFailure;
    }
}

}  // namespace
}  // namespace unitsim

int main(int argc, char** argv)
{
    return unitsim::Main(argc, argv);
}
