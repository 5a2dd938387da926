// Load on one broker: many recorders, each polling its own simulated unit in simulated time, all
// publishing to one mosquitto. A separate mosquitto_sub counts the QoS 1 events: every one must
// arrive exactly once and byte for byte as sent. Prints the recorders' CPU per unit and the
// broker's CPU.
//
//   mqtt_load [--recorders N] [--unit-minutes M] [--speed S]     (defaults 50, 10, 10)

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "record/Recorder.h"
#include "record/mqtt/BrokerAddress.h"
#include "record/mqtt/MqttClient.h"
#include "record/mqtt/MqttCommandLine.h"
#include "record/mqtt/MqttPayloads.h"
#include "testing/LanguageFixtures.h"
#include "tests/mqtt/support/MosquittoBroker.h"
#include "tests/mqtt/support/WaitUntil.h"
#include "tools/unitsim/BurnerModel.h"

extern char** environ;

namespace {

using namespace std::chrono;
using kalvo::record::PollInput;

constexpr milliseconds PollInterval{2000};
const std::string ProbeTopic = "kalvo/probe/event";
constexpr std::int64_t StartMs = 1'796'601'600'000;  // 2026-12-07T00:00:00Z

struct Settings {
    int recorders = 50;
    int unitMinutes = 10;
    int speed = 10;
};

Settings ParseSettings(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const int value = std::stoi(argv[i + 1]);
        if (name == "--recorders")
            settings.recorders = value;
        else if (name == "--unit-minutes")
            settings.unitMinutes = value;
        else if (name == "--speed")
            settings.speed = value;
        else
            throw std::invalid_argument("unknown option " + name);
    }
    return settings;
}

// Keeps the event documents as the broker sink sends them, numbered the same way.
class SentEvents : public kalvo::record::PollSink {
public:
    SentEvents(std::vector<std::string>& into, std::string runId) : into_(into), runId_(std::move(runId)) { }
    void OnPoll(const PollInput&, const kalvo::record::DecodedPoll&) override {}
    void OnEvent(const kalvo::record::RecordEvent& event) override
    {
        into_.push_back(kalvo::mqtt::EventPayload(event, into_.size() + 1, runId_));
    }

private:
    std::vector<std::string>& into_;
    std::string runId_;
};

struct Unit {
    std::string name;
    unitsim::BurnerModel model;
    std::unique_ptr<kalvo::record::Recorder> recorder;
    kalvo::mqtt::MqttSink* sink = nullptr;
    std::vector<std::string> sent;
};

kalvo::Block BlockOf(const unitsim::Bytes& data)
{
    kalvo::Block block{};
    std::copy(data.begin(), data.end(), block.begin());
    return block;
}

double CpuSeconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ProcessCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

// User and system time of another process, from /proc/<pid>/stat.
double ChildCpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14)
            utime = std::stoull(field);
        if (index == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

pid_t StartCounter(int port, const std::string& output)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> args{"mosquitto_sub", "-h", "127.0.0.1", "-p", std::to_string(port), "-t",
                                  "kalvo/+/event", "-q", "1", "-v", "-i", "kalvo-load-counter", "-c"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, "mosquitto_sub", &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start mosquitto_sub");
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::size_t LineCount(const std::string& path)
{
    std::ifstream file(path);
    std::size_t lines = 0;
    for (std::string line; std::getline(file, line);)
        ++lines;
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    const Settings settings = ParseSettings(argc, argv);
    const kalvo::LanguageLines language = kalvo::test::NumberedLanguage();
    kalvo::test::MosquittoBroker broker;
    const std::string received = broker.Folder().file("events.txt");
    const pid_t counter = StartCounter(broker.Port(), received);

    std::vector<std::unique_ptr<Unit>> units;
    for (int n = 0; n < settings.recorders; ++n) {
        auto unit = std::make_unique<Unit>(Unit{"unit-" + std::to_string(n + 1), unitsim::BurnerModel(n + 1), nullptr,
                                                nullptr, {}});
        unit->recorder = std::make_unique<kalvo::record::Recorder>(language);
        kalvo::mqtt::MqttOptions options;
        options.url = broker.Url();
        options.name = unit->name;
        auto sink = kalvo::mqtt::MakeMqttSink(options, n + 1, nullptr, nullptr);
        unit->sink = sink.get();
        unit->recorder->AddSink(std::move(sink));
        unit->recorder->AddSink(std::make_unique<SentEvents>(unit->sent, unit->sink->Client().RunId()));
        units.push_back(std::move(unit));
    }
    // The counter's persistent subscription has to be in place before the first event: a probe
    // is sent until it shows in the counter's output.
    {
        kalvo::mqtt::ClientSettings probeSettings;
        probeSettings.broker = kalvo::mqtt::ParseBrokerUrl(broker.Url());
        probeSettings.clientId = "kalvo-load-probe";
        probeSettings.availabilityTopic = "kalvo/probe/availability";
        kalvo::mqtt::MqttClient probe(probeSettings, nullptr);
        if (!kalvo::test::WaitUntil([&] {
                probe.PublishEvent(ProbeTopic, "probe");
                return probe.Flush(seconds(1)) && LineCount(received) > 0;
            }))
            throw std::runtime_error("the counting subscriber did not start");
    }
    kalvo::test::WaitUntil([&] {
        for (const auto& unit : units)
            if (!unit->sink->Client().Status().connected)
                return false;
        return true;
    });

    const int polls = settings.unitMinutes * 60'000 / static_cast<int>(PollInterval.count());
    const auto wallInterval = duration_cast<microseconds>(PollInterval) / settings.speed;
    const double cpuBefore = ProcessCpuSeconds();
    const double brokerBefore = ChildCpuSeconds(broker.Pid());
    const auto wallStart = steady_clock::now();
    for (int poll = 0; poll < polls; ++poll) {
        const std::int64_t unitMs = StartMs + poll * PollInterval.count();
        for (std::size_t n = 0; n < units.size(); ++n) {
            // Spread the recorders over the interval, as independent machines would be.
            std::this_thread::sleep_until(wallStart + wallInterval * poll +
                                          wallInterval * static_cast<long>(n) / static_cast<long>(units.size()));
            Unit& unit = *units[n];
            unit.model.Advance(PollInterval);
            unit.recorder->RecordPoll({{kalvo::record::LinkStatus::Ok, BlockOf(unit.model.StatusData()),
                                           BlockOf(unit.model.TimingData()), BlockOf(unit.model.ErrorHistoryData())},
                {unitMs, 60}});
        }
    }
    std::map<std::string, std::vector<std::string>> sent;  // by topic
    std::size_t sentCount = 0;
    for (const auto& unit : units) {
        unit->recorder->Finish();
        sent[kalvo::mqtt::TopicsFor(unit->name).event] = unit->sent;
        sentCount += unit->sent.size();
    }
    const double recorderCpu = ProcessCpuSeconds() - cpuBefore;
    const double brokerCpu = ChildCpuSeconds(broker.Pid()) - brokerBefore;
    const double wall = duration<double>(steady_clock::now() - wallStart).count();
    std::uint64_t dropped = 0;
    for (const auto& unit : units)
        dropped += unit->sink->Client().Status().dropped;

    kalvo::test::WaitUntil([&] { return LineCount(received) >= sentCount + 1; }, seconds(120));
    units.clear();  // the recorders end cleanly
    ::kill(counter, SIGTERM);
    ::waitpid(counter, nullptr, 0);

    // What arrived against what was sent, per recorder: every document once, byte for byte.
    std::map<std::string, std::map<std::string, int>> arrived;  // topic, payload, times
    std::ifstream file(received);
    for (std::string line; std::getline(file, line);) {
        const std::size_t space = line.find(' ');
        if (line.substr(0, space) != ProbeTopic)
            ++arrived[line.substr(0, space)][line.substr(space + 1)];
    }
    std::size_t exactlyOnce = 0, missing = 0, duplicated = 0, foreign = 0;
    for (const auto& [topic, payloads] : sent) {
        std::map<std::string, int>& got = arrived[topic];
        for (const std::string& payload : payloads) {
            const int times = got[payload];
            exactlyOnce += times == 1;
            missing += times == 0;
            duplicated += times > 1;
            got.erase(payload);
        }
    }
    for (const auto& [topic, payloads] : arrived)
        foreign += payloads.size();  // arrived but never sent, or altered on the way

    const double unitSeconds = settings.unitMinutes * 60.0;
    std::printf("%d recorders, %d min of unit time each at %dx (%d polls each) in %.1f s\n", settings.recorders,
                settings.unitMinutes, settings.speed, polls, wall);
    std::printf("QoS 1 events: %zu sent, %zu arrived exactly once, %zu missing, %zu more than once, %zu altered "
                "or unknown; %llu dropped from full queues\n",
                sentCount, exactlyOnce, missing, duplicated, foreign, static_cast<unsigned long long>(dropped));
    std::printf("Recorders' CPU: %.2f s in all = %.3f%% of one core per unit at the real pace "
                "(polls, decoding, documents, libmosquitto)\n",
                recorderCpu, 100.0 * recorderCpu / unitSeconds / settings.recorders);
    std::printf("Broker's CPU: %.2f s = %.2f%% of one core for all %d units at the real pace (%.1f%% during the "
                "run)\n",
                brokerCpu, 100.0 * brokerCpu / unitSeconds, settings.recorders, 100.0 * brokerCpu / wall);
    return exactlyOnce == sentCount && foreign == 0 ? 0 : 1;
}
