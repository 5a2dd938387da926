// What the core does with one poll's blocks: decoding them into display texts and status flags,
// the report lines, and the lines of the eight error records. The window adds only its widgets on
// top (build_report_bench). Target: under 20 microseconds per poll.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "bench/PollData.h"
#include "core/Readings.h"

namespace {

using kalvo::bench::PollBlocks;

constexpr std::size_t SimulatedPollCount = 64;

std::vector<PollBlocks> PollsOf(const char* source)
{
    const std::string_view kind = source;
    if (kind == "no values")
        return {kalvo::bench::NoValuePoll()};
    if (kind == "failed cycle")
        return {PollBlocks{}};  // every block zero
    return kalvo::bench::SimulatedPolls(SimulatedPollCount);
}

std::size_t ReportAndRecordLines(const kalvo::ReadingTextSet& texts, const kalvo::LanguageLines& language,
                                 const PollBlocks& poll)
{
    std::vector<std::string> report = kalvo::ReportLines(texts, language);
    std::size_t lines = report.size();
    benchmark::DoNotOptimize(report.data());
    for (int n = 1; n <= kalvo::ErrorRecordCount; ++n) {
        std::vector<std::string> record =
            kalvo::ErrorRecordLines(poll.errorHistory, kalvo::ErrorRecordSize * (n - 1), n, language);
        lines += record.size();
        benchmark::DoNotOptimize(record.data());
    }
    return lines;
}

// The whole poll: decode, report, error records. The polls are taken in turn, so the branches see
// the changing burner phases a real run shows.
void BM_OnePoll(benchmark::State& state, const char* source)
{
    const kalvo::LanguageLines language = kalvo::bench::DeliveredLanguage();
    const std::vector<PollBlocks> polls = PollsOf(source);
    std::size_t next = 0;
    std::size_t lines = 0;
    for (auto _ : state) {
        const PollBlocks& poll = polls[next++ % polls.size()];
        const kalvo::DecodedReadings decoded = kalvo::DecodeReadings(poll.status, poll.timing, language);
        benchmark::DoNotOptimize(decoded.flags);
        lines += ReportAndRecordLines(decoded.texts, language, poll);
    }
    state.counters["lines"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
    state.SetLabel("target < 20 us");
}
BENCHMARK_CAPTURE(BM_OnePoll, simulated_unit, "simulated unit");
BENCHMARK_CAPTURE(BM_OnePoll, no_values, "no values");
BENCHMARK_CAPTURE(BM_OnePoll, failed_cycle, "failed cycle");

// The parts of a poll on their own, to show where its time goes.
void BM_DecodeOnly(benchmark::State& state)
{
    const kalvo::LanguageLines language = kalvo::bench::DeliveredLanguage();
    const std::vector<PollBlocks> polls = PollsOf("simulated unit");
    std::size_t next = 0;
    for (auto _ : state) {
        const PollBlocks& poll = polls[next++ % polls.size()];
        kalvo::DecodedReadings decoded = kalvo::DecodeReadings(poll.status, poll.timing, language);
        benchmark::DoNotOptimize(decoded);
    }
}
BENCHMARK(BM_DecodeOnly);

void BM_ReportAndErrorRecordsOnly(benchmark::State& state)
{
    const kalvo::LanguageLines language = kalvo::bench::DeliveredLanguage();
    const std::vector<PollBlocks> polls = PollsOf("simulated unit");
    std::vector<kalvo::ReadingTextSet> texts;
    for (const PollBlocks& poll : polls)
        texts.push_back(kalvo::DecodeReadings(poll.status, poll.timing, language).texts);
    std::size_t next = 0;
    std::size_t lines = 0;
    for (auto _ : state) {
        const std::size_t i = next++ % polls.size();
        lines += ReportAndRecordLines(texts[i], language, polls[i]);
    }
    state.counters["lines"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ReportAndErrorRecordsOnly);

}  // namespace

BENCHMARK_MAIN();
