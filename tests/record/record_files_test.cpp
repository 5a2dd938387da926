// The recorder's pieces on their own: CSV quoting, decoding, events from error histories, the raw
// replies file (round trip and damage), and files that cannot be written.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>

#include "tests/record/CsvReader.h"
#endif

#include "record/ConsoleStatus.h"
#include "record/CsvFiles.h"
#include "record/FolderRecorder.h"
#include "record/NightFormat.h"
#include "record/NightReport.h"
#include "record/NightStatistics.h"
#include "record/PollDecoding.h"
#include "record/RawReplies.h"
#include "record/RecordOptions.h"
#include "record/Recorder.h"
#include "testing/LanguageFixtures.h"
#include "testing/TempDir.h"
#include "tests/record/UnitData.h"
#include "tools/nightsim/NightSimulation.h"
#include "tools/unitsim/Behaviour.h"
#include "tools/unitsim/BurnerModel.h"

namespace kalvo::record {
namespace {

// The delivered German language file with the words the program finds for it.
RecordLanguage DeliveredGerman()
{
    const std::filesystem::path german =
        std::filesystem::path(test::DeliveredLanguageFile()).parent_path() / "lang/de/MY.LNG";
    LanguageLines lines;
    LoadLanguage(PathText(german), lines);
    return LoadRecordLanguage(german, lines, german.parent_path().parent_path());
}

PollInput PollOf(const test::UnitState& unit, std::int64_t utcMs, LinkStatus link = LinkStatus::Ok)
{
    PollInput poll;
    poll.time = {utcMs, 60};
    poll.link = link;
    const auto fill = [](Block& block, const Bytes& data) { std::copy(data.begin(), data.end(), block.begin()); };
    fill(poll.statusBlock, test::StatusDataOf(unit));
    fill(poll.timingBlock, test::TimingDataOf(unit));
    fill(poll.errorHistoryBlock, test::HistoryDataOf(unit));
    return poll;
}

bool SamePoll(const PollInput& a, const PollInput& b)
{
    return a.time.utcMs == b.time.utcMs && a.time.utcOffsetMinutes == b.time.utcOffsetMinutes && a.link == b.link &&
           a.statusBlock == b.statusBlock && a.timingBlock == b.timingBlock &&
           a.errorHistoryBlock == b.errorHistoryBlock;
}

std::vector<PollInput> ReadAll(std::string_view bytes)
{
    std::vector<PollInput> polls;
    ReadRawBytes(bytes, "night.kraw", [&](const PollInput& poll) { polls.push_back(poll); });
    return polls;
}

TEST(RecordOptionsTest, DurationsPortsAndMistakes)
{
    using std::chrono::milliseconds;
    const std::vector<std::pair<std::string, std::optional<milliseconds>>> durations{
        {"12h", milliseconds(43'200'000)}, {"90m", milliseconds(5'400'000)}, {"30s", milliseconds(30'000)},
        {"2D", milliseconds(172'800'000)}, {"45", milliseconds(45'000)},     {"0h", std::nullopt},
        {"h", std::nullopt},               {"12x", std::nullopt},            {"-5m", std::nullopt},
    };
    for (const auto& [text, expected] : durations)
        EXPECT_EQ(ParseDuration(text), expected) << text;
    const std::vector<std::pair<std::string, std::optional<int>>> ports{
        {"COM7", 7}, {"com255", 255}, {"12", 12}, {"COM0", std::nullopt}, {"COM256", std::nullopt},
        {"COMx", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [text, expected] : ports)
        EXPECT_EQ(ParsePortName(text), expected) << text;

    const ParsedRecordOptions good = ParseRecordOptions({"--port", "COM3", "--out", "night", "--duration", "8h", "-q"});
    EXPECT_EQ(good.error, "");
    EXPECT_EQ(good.options.portNumber, 3);
    EXPECT_EQ(good.options.outFolder, "night");
    EXPECT_TRUE(good.options.quiet);
    EXPECT_EQ(ParseRecordOptions({"--out"}).error, "--out wants a value");
    EXPECT_EQ(ParseRecordOptions({"--speed", "2"}).error, "unknown option '--speed'");
    EXPECT_NE(ParseRecordOptions({"--port", "COM0"}).error, "");
    EXPECT_NE(ParseRecordOptions({"--decode", "night"}).error, "");  // a decode writes into a folder named
    EXPECT_EQ(ParseRecordOptions({"--decode", "night", "--out", "again"}).error, "");
    // --out names the report's file too; two jobs, or two names for one file, are refused.
    const ParsedRecordOptions report = ParseRecordOptions({"--report", "night", "--out", "night.html"});
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.options.reportFile, "night.html");
    EXPECT_EQ(report.options.outFolder, "");
    for (const std::vector<std::string>& refused :
        {std::vector<std::string>{"--report", "a", "--decode", "b", "--out", "c"},
            {"--report", "a", "--out", "b.html", "--output", "c.html"}, {"--output", "a.html"}})
        EXPECT_NE(ParseRecordOptions(refused).error, "") << refused[0] << " " << refused[2];
}

TEST(CsvRowTest, QuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(CsvRow({"plain", "", "1.5"}), "plain,,1.5\r\n");
    EXPECT_EQ(CsvRow({"a,b", "say \"hi\"", "two\nlines", "cr\r"}),
              "\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\"\r\n");
}

TEST(DecodePollTest, AbsentValuesTextsAndFlags)
{
    LanguageLines language = test::NumberedLanguage();
    language[12] = "\x80 \x81 \xE9";
    PollInput poll = PollOf({}, 0);
    poll.timingBlock[10] = 0x00;  // run time 125 minutes
    poll.timingBlock[11] = 0x7D;
    DecodedPoll decoded = DecodePoll(poll, language);
    EXPECT_EQ(decoded.stateText, "\xE2\x82\xAC \xC2\x81 \xC3\xA9");
    EXPECT_EQ(decoded.values[18], 125.0);            // minutes, a zero is a value
    EXPECT_FALSE(decoded.values[19].has_value());    // a zero duration is not
    EXPECT_EQ(decoded.values[7], 230.0);

    poll.statusBlock.fill(0xFF);
    decoded = DecodePoll(poll, language);
    EXPECT_FALSE(decoded.stateCode.has_value());
    EXPECT_TRUE(std::none_of(decoded.values.begin(), decoded.values.begin() + 13, [](auto& v) { return v.has_value(); }));
    EXPECT_EQ(*decoded.flags, (StatusFlagSet{1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));

    poll.link = LinkStatus::TransferError;
    decoded = DecodePoll(poll, language);
    EXPECT_FALSE(decoded.flags.has_value());
    EXPECT_TRUE(std::none_of(decoded.values.begin(), decoded.values.end(), [](auto& v) { return v.has_value(); }));

    EXPECT_EQ(ColumnTitle("Flame current: ", "flame_current", Unit::Microamps), "Flame current (uA)");
    EXPECT_EQ(ColumnTitle("", "burner_starts", Unit::Count), "burner_starts");
}

TEST(DecodePollTest, APollHandedDownIsRecordedFromItsDecodedFieldsAlone)
{
    // The read cycle decodes a poll once; the recorder takes its values from there and never reads
    // the blocks again, which only the raw replies keep.
    const LanguageLines language = test::NumberedLanguage();
    test::UnitState unit;
    unit.state = 7;
    unit.flags = 0x5A;
    unit.records = {test::ErrorRecordBytes(7, 11, 2291, 0, 60)};
    const PollInput input = PollOf(unit, 0);
    Poll poll{input, DecodePollFields(input.statusBlock, input.timingBlock, input.errorHistoryBlock)};
    poll.result.statusBlock.fill(0);
    poll.result.errorHistoryBlock.fill(0xFF);

    struct Kept : PollSink {
        std::vector<DecodedPoll> polls;
        void OnPoll(const PollInput&, const DecodedPoll& decoded) override { polls.push_back(decoded); }
        void OnEvent(const RecordEvent&) override {}
    };
    Recorder recorder(language);
    auto sink = std::make_unique<Kept>();
    const Kept& kept = *sink;
    recorder.AddSink(std::move(sink));
    recorder.RecordPoll(poll, input.time);

    const DecodedPoll expected = DecodePoll(input, language);
    ASSERT_EQ(kept.polls.size(), 1u);
    EXPECT_EQ(kept.polls[0].stateCode, 7);
    EXPECT_EQ(kept.polls[0].statusText, expected.statusText);
    EXPECT_EQ(kept.polls[0].values, expected.values);
    EXPECT_EQ(kept.polls[0].flags, expected.flags);
    ASSERT_TRUE(kept.polls[0].errorRecords[0].has_value());
    EXPECT_EQ(kept.polls[0].errorRecords[0]->volts, expected.errorRecords[0]->volts);
}

TEST(DecodePollTest, ADecoderOfARunDecodesEachPollAsOnItsOwn)
{
    // The run decoder takes over what did not change; a history or status text that did, or came
    // back to an earlier one, must never keep the earlier poll's decoding.
    const LanguageLines language = test::NumberedLanguage();
    test::UnitState unit;
    unit.records = {test::ErrorRecordBytes(7, 11, 2291, 0, 60)};
    std::vector<PollInput> run{PollOf(unit, 0)};
    unit.records.insert(unit.records.begin(), test::ErrorRecordBytes(3, 12, 2140, 12, 61));
    unit.state = 7;
    run.push_back(PollOf(unit, 2000));
    run.push_back(PollOf(unit, 4000, LinkStatus::TransferError));
    run.back().errorHistoryBlock.fill(0);
    run.push_back(PollOf(unit, 6000));
    run.back().statusBlock[5] = 'X';
    unit.records.erase(unit.records.begin());
    run.push_back(PollOf(unit, 8000));
    PollDecoder decoder(language);
    for (std::size_t i = 0; i < run.size(); ++i) {
        const DecodedPoll fromRun = decoder.Decode(run[i]), alone = DecodePoll(run[i], language);
        EXPECT_EQ(fromRun.stateText, alone.stateText) << "poll " << i;
        EXPECT_EQ(fromRun.statusText, alone.statusText) << "poll " << i;
        EXPECT_EQ(fromRun.values, alone.values) << "poll " << i;
        for (std::size_t n = 0; n < alone.errorRecords.size(); ++n) {
            const auto &a = fromRun.errorRecords[n], &b = alone.errorRecords[n];
            EXPECT_EQ(a.has_value(), b.has_value()) << "poll " << i << " record " << n;
            if (a && b) {
                EXPECT_TRUE(a->bytes == b->bytes && a->stateText == b->stateText && a->volts == b->volts)
                    << "poll " << i << " record " << n;
            }
        }
    }
    EXPECT_EQ(decoder.Decode(run[3]).statusText.substr(0, 4), "RUNX");
    EXPECT_EQ(decoder.Decode(run[4]).errorRecords[1].has_value(), false);
}

// Collects what the recorder hands its sinks.
struct EventLog : PollSink {
    std::vector<RecordEvent>* events;
    explicit EventLog(std::vector<RecordEvent>* into) : events(into) {}
    void OnPoll(const PollInput&, const DecodedPoll&) override {}
    void OnEvent(const RecordEvent& event) override { events->push_back(event); }
};

TEST(RecorderTest, ANewRecordIsFoundWhenTheHistoryShifts)
{
    const LanguageLines language = test::NumberedLanguage();
    std::vector<RecordEvent> events;
    Recorder recorder(language);
    recorder.AddSink(std::make_unique<EventLog>(&events));
    test::UnitState unit;
    const auto older = test::ErrorRecordBytes(7, 1, 2300, 5, 60);
    const auto old = test::ErrorRecordBytes(7, 2, 2300, 5, 90);
    const auto fresh = test::ErrorRecordBytes(3, 3, 2100, 0, 120);
    unit.records = {old, older};
    recorder.RecordPoll(PollOf(unit, 0));  // the baseline: no events
    EXPECT_TRUE(events.empty());
    recorder.RecordPoll(PollOf({}, 2000, LinkStatus::TransferError));  // zero blocks, not a history
    unit.records = {fresh, old, older};
    recorder.RecordPoll(PollOf(unit, 4000));

    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, EventKind::LinkLost);
    EXPECT_EQ(events[0].link, LinkStatus::TransferError);
    EXPECT_EQ(events[1].kind, EventKind::LinkBack);
    EXPECT_EQ(events[2].kind, EventKind::NewErrorRecord);
    EXPECT_EQ(events[2].record->number, 1);
    EXPECT_EQ(events[2].record->stateCode, 3);
    EXPECT_EQ(events[2].record->volts, 210.0);
    EXPECT_EQ(recorder.LockoutsSeen(), 1);
    EXPECT_EQ(recorder.TransferErrors(), 1);
}

TEST(RecorderTest, ALinkThatWasNeverUpIsNotLost)
{
    const LanguageLines language = test::NumberedLanguage();
    std::vector<RecordEvent> events;
    Recorder recorder(language);
    recorder.AddSink(std::make_unique<EventLog>(&events));
    recorder.RecordPoll(PollOf({}, 0, LinkStatus::NoPort));
    recorder.RecordPoll(PollOf({}, 2000, LinkStatus::TransferError));
    recorder.RecordPoll(PollOf({}, 4000));
    recorder.RecordPoll(PollOf({}, 6000, LinkStatus::NoPort));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, EventKind::LinkLost);
    EXPECT_EQ(events[0].time.utcMs, 6000);
}

TEST(ReadingsCsvTest, ControlCharactersOfAStatusTextAreWrittenVisibly)
{
    const std::vector<std::string> header = ReadingsCsvSink::Header(RecordLanguage(test::NumberedLanguage()));
    const auto column = std::find(header.begin(), header.end(), "status text") - header.begin();
    DecodedPoll poll;
    poll.statusText = "A\x1B[2J\r\nB\\\x7F\xC2\x81\xC3\xA9";
    EXPECT_EQ(ReadingsCsvSink::Row(poll, NightTexts(test::NumberedLanguage())).at(static_cast<std::size_t>(column)),
        "A\\x1B[2J\\x0D\\x0AB\\\\\\x7F\\x81\xC3\xA9");
}

// The CSV files speak the language of the language file, their own titles and the link's words
// too; with the English and the German files they read as they always have.
TEST(ReadingsCsvTest, TitlesAndLinkWordsAreInTheLanguageOfTheLanguageFile)
{
    test::TempDir dir;
    test::UnitState unit;
    unit.state = 5;
    {
        const LanguageLines none;
        Recorder recorder(none);
        recorder.AddSink(std::make_unique<RawRepliesSink>(dir.path(), Durability::None));
        recorder.RecordPoll(PollOf(unit, 0));
        recorder.RecordPoll(PollOf(unit, 2000, LinkStatus::NoPort));
        recorder.Finish();
    }
    const std::filesystem::path delivered = test::DeliveredLanguageFile();
    const struct {
        const char* name;
        std::filesystem::path languageFile;
        const char* titles;
        const char* lastTitle;
        const char* noPortRow;
        const char* lostEvent;
        const char* eventTitles;
    } cases[] = {
        {"English", delivered, "time,link,state code,state,status text,", ",implausible\r\n",
            "01:00:02+01:00,no port,,,,", "01:00:02+01:00,link lost,no port,",
            "time,event,link,from state code,from state,to state code,to state,record,record state code,record "
            "state,record counter,record voltage (V),record current (uA),record time (min)\r\n"},
        {"German", delivered.parent_path() / "lang/de/MY.LNG", "Zeit,Verbindung,Zustandscode,Zustand,Statustext,",
            ",unplausibel\r\n", "01:00:02+01:00,kein Port,,,,", "01:00:02+01:00,Verbindung verloren,kein Port,",
            "Zeit,Ereignis,Verbindung,Zustandscode vorher,Zustand vorher,Zustandscode nachher,Zustand nachher,Eintrag,"
            "Zustandscode des Eintrags,Zustand des Eintrags,Zählerstand des Eintrags,Netzspannung des Eintrags (V),"
            "Flammenstrom des Eintrags (uA),Zeit des Eintrags (min)\r\n"},
    };
    for (const auto& c : cases) {
        LanguageLines language;
        LoadLanguage(PathText(c.languageFile), language);
        ASSERT_FALSE(language[FirstStateLine].empty()) << c.name << ": no language file at " << c.languageFile;
        DecodeRecording(dir.path(), dir.path() / c.name,
            LoadRecordLanguage(c.languageFile, language, delivered.parent_path() / "lang"));
        const std::string readings = test::ReadFileBytes(dir.file(std::string(c.name) + "/readings-1970-01-01.csv"));
        const std::string events = test::ReadFileBytes(dir.file(std::string(c.name) + "/events-1970-01-01.csv"));
        EXPECT_TRUE(readings.starts_with(c.titles)) << c.name << ": " << readings;
        EXPECT_NE(readings.find(c.lastTitle), std::string::npos) << c.name << ": " << readings;
        EXPECT_NE(readings.find(c.noPortRow), std::string::npos) << c.name << ": " << readings;
        EXPECT_NE(events.find(c.lostEvent), std::string::npos) << c.name << ": " << events;
        EXPECT_TRUE(events.starts_with(c.eventTitles)) << c.name << ": " << events;
    }
}

// The recorder's words follow the language file in use, never its wording: the words file beside
// it, else those of the delivered language it is a copy of (a label reworded), else English. A
// language is two files in the lang folder; a words file that ends early is English after its end.
TEST(RecordLanguageTest, TheWordsFollowTheLanguageFileInUse)
{
    const std::filesystem::path resources = std::filesystem::path(test::DeliveredLanguageFile()).parent_path();
    test::TempDir program;
    const std::filesystem::path languages = program.path() / "lang";
    std::filesystem::create_directories(languages / "de");
    std::filesystem::create_directories(languages / "nl");
    for (const char* file : {"MY.LNG", RecordWordsFileName})
        std::filesystem::copy_file(resources / "lang/de" / file, languages / "de" / file);
    std::string numbered, dutchWords = "nl\r\n";
    for (int n = 1; n <= LanguageLines::Count; ++n)
        numbered += test::Line(n) + "\r\n";
    for (int k = 0; k <= static_cast<int>(NightWord::ColumnTime); ++k)
        dutchWords += "nl-" + std::to_string(k) + "\r\n";
    test::WriteFileBytes((languages / "nl/MY.LNG").string(), numbered);
    test::WriteFileBytes((languages / "nl" / RecordWordsFileName).string(), dutchWords);
    std::string germanReworded = test::ReadFileBytes((resources / "lang/de/MY.LNG").string());
    germanReworded.replace(germanReworded.find("Betrieb"), 7, "Brennen");

    const std::string dutchTime = "nl-" + std::to_string(static_cast<int>(NightWord::ColumnTime));
    const struct {
        const char* name;
        std::string languageFile;
        const char* wordsBeside;
        const char* code;
        std::string time;
        const char* link;
    } cases[] = {
        {"English", test::ReadFileBytes(test::DeliveredLanguageFile()), nullptr, "en", "time", "link"},
        {"German, a label reworded", germanReworded, nullptr, "de", "Zeit", "Verbindung"},
        {"a third language", numbered, nullptr, "nl", dutchTime, "link"},
        {"German with words beside", germanReworded, "nl", "nl", dutchTime, "link"},
    };
    for (const auto& c : cases) {
        const test::TempDir inUse;
        const std::filesystem::path languageFile = inUse.path() / "MY.LNG";
        test::WriteFileBytes(languageFile.string(), c.languageFile);
        if (c.wordsBeside)
            std::filesystem::copy_file(
                languages / c.wordsBeside / RecordWordsFileName, inUse.path() / RecordWordsFileName);
        LanguageLines lines;
        LoadLanguage(languageFile.string(), lines);
        const NightTexts texts = LoadRecordLanguage(languageFile, lines, languages).texts;
        EXPECT_EQ(texts.LanguageCode(), c.code) << c.name;
        EXPECT_EQ(texts[NightWord::ColumnTime], c.time) << c.name;
        EXPECT_EQ(texts[NightWord::ColumnLink], c.link) << c.name;
    }
}

// Every delivered language has all the recorder's words: a word added without its translation
// would show in English.
TEST(RecordLanguageTest, EveryDeliveredWordsFileHasAWordOnEachLine)
{
    const std::filesystem::path languages = std::filesystem::path(test::DeliveredLanguageFile()).parent_path() / "lang";
    int files = 0;
    for (const auto& language : std::filesystem::directory_iterator(languages)) {
        const std::string words = test::ReadFileBytes((language.path() / RecordWordsFileName).string());
        std::size_t lines = 0, empty = 0;
        for (std::size_t at = 0, end; (end = words.find("\r\n", at)) != std::string::npos; at = end + 2, ++lines)
            empty += end == at;
        EXPECT_EQ(lines, std::tuple_size_v<RecordWordsLines>) << language.path();
        EXPECT_EQ(empty, 0u) << language.path();
        ++files;
    }
    EXPECT_GT(files, 0);
}

// Two hours of a steady burner: on a narrow terminal the status line never wraps.
TEST(ConsoleStatusTest, FitsTheTerminal)
{
    const LanguageLines language = test::NumberedLanguage();
    Recorder recorder(language);
    std::ostringstream terminal;
    const NightTexts english(language);
    auto onTerminal = std::make_unique<ConsoleStatus>(
        terminal, ConsoleStatus::Mode::Terminal, recorder, english, [] { return std::uint64_t{123'456}; }, "night",
        [] { return std::size_t{24}; });
    ConsoleStatus* const shownOnTerminal = onTerminal.get();
    recorder.AddSink(std::move(onTerminal));
    test::UnitState unit;
    unit.state = 5;
    for (int i = 0; i <= 3600; ++i) {
        recorder.RecordPoll(PollOf(unit, 2000LL * i, i == 7 ? LinkStatus::NoPort : LinkStatus::Ok));
        shownOnTerminal->ShowPoll();
    }
    // Each status line starts at a carriage return; an event's line above it ends with a line end.
    std::istringstream shown(terminal.str());
    std::size_t lines = 0;
    for (std::string written; std::getline(shown, written, '\r'); ++lines) {
        const std::string line = written.substr(written.find_last_of('\n') + 1);
        EXPECT_LE(std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }), 23) << line;
    }
    EXPECT_GT(lines, 3600u);
}

// Two hours of a steady burner in a log: a line per event and a line an hour that the recorder is
// alive, then the summary, all in the recording's language (with the German files the state names
// of the language file and the recorder's own words alike).
TEST(ConsoleStatusTest, ALogSaysEachEventAndThatItIsAliveInTheRecordingsLanguage)
{
    LanguageLines numbered = test::NumberedLanguage();
    numbered[12 + 5] = "Betrieb \xE9";
    const struct {
        const char* name;
        RecordLanguage language;
        const char* log;
        const char* summary;
    } cases[] = {
        {"English", RecordLanguage(numbered),
            "1970-01-01T01:00:14+01:00 link lost: no port\n"
            "1970-01-01T01:00:16+01:00 link back\n"
            "1970-01-01T02:00:16+01:00 still recording: Betrieb \xC3\xA9 | 1809 polls | 0 transfer "
            "errors | 0 lockouts | files 120 KB\n",
            "Recorded 3601 polls in 2 h 00 min into night: 0 transfer errors, 1 poll without a port, 0 lockouts."},
        {"German", DeliveredGerman(),
            "1970-01-01T01:00:14+01:00 Verbindung verloren: kein Port\n"
            "1970-01-01T01:00:16+01:00 Verbindung wieder da\n"
            "1970-01-01T02:00:16+01:00 Aufzeichnung läuft: Betrieb | 1809 Abfragen | 0 Übertragungsfehler | "
            "0 Störabschaltungen | Dateien 120 KB\n",
            "3601 Abfragen in 2 h 00 min aufgezeichnet in night: 0 Übertragungsfehler, 1 Abfrage ohne Port, "
            "0 Störabschaltungen."},
    };
    for (const auto& c : cases) {
        Recorder recorder(c.language.lines);
        std::ostringstream log;
        auto inLog = std::make_unique<ConsoleStatus>(
            log, ConsoleStatus::Mode::Log, recorder, c.language.texts, [] { return std::uint64_t{123'456}; }, "night");
        ConsoleStatus* const shownInLog = inLog.get();
        recorder.AddSink(std::move(inLog));
        test::UnitState unit;
        unit.state = 5;
        for (int i = 0; i <= 3600; ++i) {
            recorder.RecordPoll(PollOf(unit, 2000LL * i, i == 7 ? LinkStatus::NoPort : LinkStatus::Ok));
            shownInLog->ShowPoll();
        }
        EXPECT_EQ(log.str(), c.log) << c.name;
        EXPECT_EQ(shownInLog->SummaryLine({2000LL * 3601, 60}), c.summary) << c.name;
    }
}

// A terminal made narrower while recording: no status line is written past its last column, where
// it would wrap and leave a line behind at every poll.
TEST(ConsoleStatusTest, ANarrowedTerminalGetsNoLineWiderThanItself)
{
    const LanguageLines language = test::NumberedLanguage();
    Recorder recorder(language);
    std::ostringstream terminal;
    std::size_t columns = 100;
    const NightTexts english(language);
    auto status = std::make_unique<ConsoleStatus>(
        terminal, ConsoleStatus::Mode::Terminal, recorder, english, [] { return std::uint64_t{123'456}; }, "night",
        [&columns] { return columns; });
    ConsoleStatus* const shown = status.get();
    recorder.AddSink(std::move(status));
    for (int i = 0; i < 4; ++i) {
        recorder.RecordPoll(PollOf({}, 2000LL * i, i == 3 ? LinkStatus::NoPort : LinkStatus::Ok));
        shown->ShowPoll();
        const std::size_t before = terminal.str().size();
        columns = 20;
        recorder.RecordPoll(PollOf({}, 2000LL * i + 1000));
        shown->ShowPoll();
        std::istringstream written(terminal.str().substr(before));
        for (std::string line; std::getline(written, line, '\r');)
            EXPECT_LT(line.substr(line.find_last_of('\n') + 1).size(), columns) << i << ": \"" << line << '"';
        columns = 100;
    }
}

TEST(NightsimCommandLineTest, OptionsAreNeverTakenForAFolder)
{
    EXPECT_TRUE(nightsim::ParseCommandLine({"--help"}).help);
    EXPECT_TRUE(nightsim::ParseCommandLine({"--version"}).version);
    EXPECT_EQ(nightsim::ParseCommandLine({"--help"}).folder, "");
    EXPECT_NE(nightsim::ParseCommandLine({"--speed"}).error, "");
    EXPECT_NE(nightsim::ParseCommandLine({}).error, "");
    EXPECT_NE(nightsim::ParseCommandLine({"night", "x"}).error, "");
    const nightsim::CommandLine month = nightsim::ParseCommandLine({"night", "30"});
    EXPECT_EQ(month.error, "");
    EXPECT_EQ(month.folder, "night");
    EXPECT_EQ(month.length, std::chrono::hours(24 * 30));
    EXPECT_EQ(nightsim::ParseCommandLine({"night", "36h"}).length, std::chrono::hours(36));
}

// Polls that cannot be the unit's, on their own or after a baseline of state 5 with two records
// and some counters that a second poll confirmed.
TEST(RecorderTest, ImplausiblePollsAreMarkedCountedAndRaiseNoEvent)
{
    const LanguageLines language = test::NumberedLanguage();
    const auto older = test::ErrorRecordBytes(7, 1, 2300, 5, 60);
    const auto old = test::ErrorRecordBytes(7, 2, 2300, 5, 90);
    const auto fresh = test::ErrorRecordBytes(3, 3, 2100, 0, 120);
    test::UnitState unit;
    unit.state = 5;
    unit.flags = 0x73;  // running: fan, both valves, flame, heat demand
    unit.records = {old, older};
    unit.lockouts = 9;
    const PollInput baseline = [&] {
        PollInput poll = PollOf(unit, 0);
        poll.statusBlock[42] = 40;   // start attempts
        poll.timingBlock[11] = 100;  // burner run time, minutes
        poll.timingBlock[37] = 7;    // sequence counter
        return poll;
    }();
    const auto at = [](PollInput poll, std::int64_t ms) {
        poll.time.utcMs = ms;
        return poll;
    };
    struct Case {
        const char* name;
        std::function<void(PollInput&)> change;
    };
    const auto history = [](std::vector<std::vector<std::uint8_t>> records) {
        return [records](PollInput& poll) {
            test::UnitState other;
            other.records = records;
            const Bytes data = test::HistoryDataOf(other);
            std::copy(data.begin(), data.end(), poll.errorHistoryBlock.begin());
        };
    };
    const auto word = [](Block& block, std::size_t at, int value) {
        block[at] = static_cast<std::uint8_t>(value >> 8);
        block[at + 1] = static_cast<std::uint8_t>(value);
    };
    const std::vector<std::uint8_t> empty(16, 0xFF);
    const std::vector<Case> cases{
        {"a state the language does not name", [](PollInput& p) { p.statusBlock[40] = 234; }},
        {"no state", [](PollInput& p) { p.statusBlock[40] = 0xFF; }},
        {"mains voltage of 5334 V", [&](PollInput& p) { word(p.statusBlock, 35, 53345); }},
        {"mains voltage of 3 V", [&](PollInput& p) { word(p.statusBlock, 35, 30); }},
        {"a flame current of 2000 uA", [&](PollInput& p) { word(p.statusBlock, 29, 20000); }},
        {"an alarm current of 400 uA", [&](PollInput& p) { word(p.statusBlock, 33, 4000); }},
        {"a fuel valve open without the fan", [](PollInput& p) { p.statusBlock[37] = 0x51; }},
        {"the second valve without the first", [](PollInput& p) { p.statusBlock[37] = 0x63; }},
        {"the alarm with the valves open", [](PollInput& p) { p.statusBlock[37] = 0xF3; }},
        {"a control character in the status text", [](PollInput& p) { p.statusBlock[4] = 0x1B; }},
        {"a counter that went down", [](PollInput& p) { p.statusBlock[26] = 8; }},
        {"another counter that went down", [](PollInput& p) { p.statusBlock[42] = 0; }},
        {"a counter that leapt", [](PollInput& p) { p.statusBlock[25] = 0x40; }},
        {"the sequence counter went down", [](PollInput& p) { p.timingBlock[37] = 6; }},
        {"the sequence counter leapt", [](PollInput& p) { p.timingBlock[36] = 0x12; }},
        {"the burner run time went down", [](PollInput& p) { p.timingBlock[11] = 99; }},
        {"noise in the timing block alone",
            [](PollInput& p) {
                std::mt19937 rng(21);
                for (std::size_t i = 0; i < test::TimingData; ++i)
                    p.timingBlock[i] = static_cast<std::uint8_t>(rng());
            }},
        {"a record dropped from the history", history({older})},
        {"a record changed in place", history({fresh, older})},
        {"records in another order", history({older, old})},
        {"a record after an empty one", history({old, empty, older})},
        {"a new record without a lockout", history({fresh, old, older})},
        {"a lockout without a new record", [](PollInput& p) { p.statusBlock[26] = 10; }},
        {"a new record of no named state",
            [&](PollInput& p) {
                history({test::ErrorRecordBytes(99, 3, 2100, 0, 120), old, older})(p);
                p.statusBlock[26] = 10;
            }},
        {"a new record of 3490 V",
            [&](PollInput& p) {
                history({test::ErrorRecordBytes(3, 3, 34901, 0, 120), old, older})(p);
                p.statusBlock[26] = 10;
            }},
    };
    for (const Case& c : cases) {
        std::vector<RecordEvent> events;
        Recorder recorder(language);
        recorder.AddSink(std::make_unique<EventLog>(&events));
        recorder.RecordPoll(at(baseline, -2000));
        recorder.RecordPoll(baseline);
        PollInput noise = at(baseline, 2000);
        c.change(noise);
        recorder.RecordPoll(noise);
        recorder.RecordPoll(at(baseline, 4000));  // the unit again, as it was
        EXPECT_TRUE(events.empty()) << c.name << ": " << EventKindText(events.front().kind);
        EXPECT_EQ(recorder.ImplausiblePolls(), 1) << c.name;
        EXPECT_EQ(ReadingsCsvSink::Row(DecodePoll(noise, language), NightTexts(language)).back(), "0")
            << "decoding alone judges nothing";
    }
    // A real lockout: one new record on top, the lockout counter up by one, and the run that ended
    // added to the burner run time at once. Also after noise that passed for a poll (the run time
    // only rose): the polls after it are measured against the unit as it was, not against the noise.
    for (const bool passingNoiseBefore : {false, true}) {
        std::vector<RecordEvent> events;
        Recorder recorder(language);
        recorder.AddSink(std::make_unique<EventLog>(&events));
        recorder.RecordPoll(at(baseline, -2000));
        recorder.RecordPoll(baseline);
        PollInput lockout = at(baseline, 2000);
        if (passingNoiseBefore) {
            PollInput noise = at(baseline, 2000);
            noise.timingBlock[10] = 0x40;
            recorder.RecordPoll(noise);
            recorder.RecordPoll(at(baseline, 4000));
            lockout.time.utcMs = 6000;
        }
        lockout.statusBlock[26] = 10;
        lockout.statusBlock[37] = 0x81;
        lockout.statusBlock[40] = 7;
        lockout.timingBlock[11] = 100 + 45;
        lockout.timingBlock[37] = 8;
        history({fresh, old, older})(lockout);
        recorder.RecordPoll(lockout);
        ASSERT_EQ(events.size(), 2u) << passingNoiseBefore;
        EXPECT_EQ(events[0].kind, EventKind::StateChange);
        EXPECT_EQ(events[1].kind, EventKind::NewErrorRecord);
        EXPECT_EQ(recorder.ImplausiblePolls(), 0);
    }
}

// The data of a poll whose replies were all noise of the right length, whose state byte happens
// to be one of the sixteen named codes.
PollInput GarbagePoll(const unitsim::BurnerModel& model, std::mt19937& rng, std::int64_t utcMs)
{
    PollInput poll;
    poll.time = {utcMs, 60};
    poll.link = LinkStatus::Ok;
    for (const auto& [code, block] :
        {std::pair{kalvo::StatusRequest, &poll.statusBlock}, std::pair{kalvo::TimingRequest, &poll.timingBlock},
            std::pair{kalvo::ErrorHistoryRequest, &poll.errorHistoryBlock}}) {
        const Bytes reply = kalvo::MakeReply(code, model.DataFor(code));
        const Bytes noise = unitsim::PlanReply(unitsim::Behaviour::Garbage, reply, std::chrono::microseconds(0), rng)
                                .chunks.at(0)
                                .bytes;
        std::copy(noise.begin() + 6, noise.end() - 2, block->begin());
    }
    poll.statusBlock[40] = static_cast<std::uint8_t>(rng() % 16);
    return poll;
}

// With no earlier poll to measure against, a poll stands on its own: runs of garbage are marked
// whole, and a garbage poll first neither sets the report's scale nor casts doubt on the unit's
// polls after it.
TEST(RecorderTest, APollWithoutAReferenceIsJudgedOnItsOwn)
{
    const LanguageLines language = test::NumberedLanguage();
    const NightTexts english(language);
    unitsim::BurnerModel model(3);
    std::mt19937 rng(3);
    long long garbage = 0, passed = 0;
    for (int run = 0; run < 400; ++run) {
        Recorder recorder(language);
        std::ostringstream out;
        auto console = std::make_unique<ConsoleStatus>(
            out, ConsoleStatus::Mode::Quiet, recorder, english, [] { return std::uint64_t{0}; }, "night");
        const ConsoleStatus& status = *console;
        recorder.AddSink(std::move(console));
        for (int i = 0; i < 45; ++i)
            recorder.RecordPoll(GarbagePoll(model, rng, 2000LL * i));
        garbage += recorder.Polls();
        passed += recorder.Polls() - recorder.ImplausiblePolls();
        if (run == 0) {  // what the recorder says of it
            EXPECT_EQ(status.StatusLine(), "implausible | 45 polls | 0 transfer errors | 0 lockouts | 45 implausible polls | files 0 B");
            EXPECT_EQ(status.SummaryLine({2000LL * 45, 60}), "Recorded 45 polls in 1 min 30 s into night: 0 transfer errors, 0 polls "
                                            "without a port, 0 lockouts, 45 implausible polls.");
        }
    }
    std::cout << garbage << " garbage polls of a named state, " << passed << " passed for the unit's\n";
    EXPECT_EQ(passed, 0);

    std::vector<PollInput> polls{GarbagePoll(model, rng, 0)};
    polls[0].statusBlock[35] = 0xD0;  // 5334.5 V
    polls[0].statusBlock[36] = 0x61;
    for (int i = 1; i <= 5; ++i) {
        model.Advance(std::chrono::milliseconds(2000));
        PollInput poll;
        poll.time = {2000LL * i, 60};
        poll.link = LinkStatus::Ok;
        const auto fill = [](Block& block, const Bytes& data) { std::copy(data.begin(), data.end(), block.begin()); };
        fill(poll.statusBlock, model.StatusData());
        fill(poll.timingBlock, model.TimingData());
        fill(poll.errorHistoryBlock, model.ErrorHistoryData());
        polls.push_back(poll);
    }
    const NightStatistics night = ComputeNightStatistics(
        SummarizePolls(language, [&](const auto& feed) { std::ranges::for_each(polls, feed); }), 10);
    EXPECT_EQ(night.implausiblePolls, 1);
    EXPECT_EQ(night.okPolls, 5);
    EXPECT_LT(night.volts.high, 250);
}

// The unit changes under the recorder: its history cleared, another unit plugged in, a counter
// that runs over. Two polls that agree are the unit as it is now; counters that do not continue
// are said, and a lockout counts whatever the baseline was doing, in the events and the report alike.
TEST(RecorderTest, AChangedUnitIsTakenOnceTwoPollsAgreeAndSaid)
{
    const LanguageLines language = test::NumberedLanguage();
    const auto first = test::ErrorRecordBytes(7, 4000, 2300, 5, 60);
    const auto next = test::ErrorRecordBytes(3, 4100, 2250, 0, 90);
    const auto elsewhere = test::ErrorRecordBytes(5, 900, 2310, 0, 30);
    struct Unit {
        test::UnitState state;
        int starts = 5000;          // burner starts
        int startAttempts = 65000;  // a word counter
    };
    const auto pollOf = [](const Unit& unit, std::int64_t ms) {
        PollInput poll = PollOf(unit.state, ms);
        poll.statusBlock[21] = static_cast<std::uint8_t>(unit.starts >> 16);
        poll.statusBlock[22] = static_cast<std::uint8_t>(unit.starts >> 8);
        poll.statusBlock[23] = static_cast<std::uint8_t>(unit.starts);
        poll.statusBlock[41] = static_cast<std::uint8_t>(unit.startAttempts >> 8);
        poll.statusBlock[42] = static_cast<std::uint8_t>(unit.startAttempts);
        return poll;
    };
    Unit running;
    running.state = {5, 0x73, 300, 2300, {first}, 11};
    Unit cleared = running;
    cleared.state.records.clear();
    cleared.state.state = 0;
    cleared.state.flags = 0;
    Unit other;
    other.state = {0, 0, 0, 2280, {elsewhere}, 3};
    other.starts = 1200;
    Unit bigger = other;
    bigger.starts = 90'000;
    bigger.state.lockouts = 40;
    Unit overRun = running;
    overRun.startAttempts = 0;  // 65534 ran over
    Unit lockedOut = overRun;
    lockedOut.state = {7, 0x81, 0, 2300, {next, first}, 12};
    Unit resetAndLockedOut = lockedOut;
    resetAndLockedOut.starts = 10;
    const std::string wentBack(EventKindText(EventKind::CountersWentBack));
    const std::string leapt(EventKindText(EventKind::CountersLeapt));
    struct Case {
        const char* name;
        Unit before;
        int beforeAttempts;
        std::vector<Unit> after;
        std::string marks;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases{
        {"history cleared", running, 65000, {cleared, cleared, cleared}, "00100", {"state change"}},
        {"another unit, counters lower", running, 65000, {other, other, other}, "00100", {wentBack, "state change"}},
        {"another unit, counters higher", running, 65000, {bigger, bigger}, "0010", {leapt, "state change"}},
        {"a counter runs over, then a lockout", running, 65534, {overRun, overRun, lockedOut, lockedOut}, "000000",
            {"state change", "new error record"}},
        {"a counter reset at a lockout", running, 65000, {resetAndLockedOut, resetAndLockedOut}, "0010",
            {wentBack, "state change", "new error record"}},
    };
    for (const Case& c : cases) {
        std::vector<PollInput> polls;
        Unit before = c.before;
        before.startAttempts = c.beforeAttempts;
        polls.push_back(pollOf(before, 0));
        polls.push_back(pollOf(before, 2000));
        for (const Unit& unit : c.after)
            polls.push_back(pollOf(unit, 2000 * static_cast<std::int64_t>(polls.size())));
        std::vector<RecordEvent> events;
        Recorder recorder(language);
        recorder.AddSink(std::make_unique<EventLog>(&events));
        std::string marks;
        for (const PollInput& poll : polls) {
            const long long implausible = recorder.ImplausiblePolls();
            recorder.RecordPoll(poll);
            marks += recorder.ImplausiblePolls() > implausible ? '1' : '0';
        }
        std::vector<std::string> kinds;
        for (const RecordEvent& event : events)
            kinds.emplace_back(EventKindText(event.kind));
        EXPECT_EQ(marks, c.marks) << c.name;
        EXPECT_EQ(kinds, c.events) << c.name;
        const NightSummary summary =
            SummarizePolls(language, [&](const auto& feed) { std::ranges::for_each(polls, feed); });
        EXPECT_EQ(ComputeNightStatistics(summary, 10).lockouts, recorder.LockoutsSeen()) << c.name;
        if (!events.empty() && events[0].kind == EventKind::CountersWentBack) {
            const NightTexts english(language);
            EXPECT_EQ(ConsoleStatus::EventLine(events[0], english), "1970-01-01T01:00:04+01:00 " + wentBack);
            EXPECT_NE(NightReportHtml(summary, english).find(EscapeHtml(wentBack)), std::string::npos);
            const NightTexts german = DeliveredGerman().texts;
            EXPECT_EQ(EventsCsvSink::Row(events[0], german).at(1),
                "die Zähler des Geräts sind zurückgegangen: ein anderes Gerät?");
            EXPECT_EQ(ConsoleStatus::EventLine(events[0], german),
                "1970-01-01T01:00:04+01:00 die Zähler des Geräts sind zurückgegangen: ein anderes Gerät?");
        }
    }
}

// The simulated unit answering in its random way: every reply of noise is caught, and the events
// are those of the real replies alone.
TEST(RecorderTest, NoiseBetweenRealRepliesChangesNoEvent)
{
    const LanguageLines language = test::NumberedLanguage();
    unitsim::BurnerModel model(5);
    std::mt19937 rng(5);
    const auto fill = [](Block& block, const Bytes& data) { std::copy(data.begin(), data.end(), block.begin()); };
    std::vector<RecordEvent> withNoise, clean;
    Recorder noisy(language), real(language);
    noisy.AddSink(std::make_unique<EventLog>(&withNoise));
    real.AddSink(std::make_unique<EventLog>(&clean));
    int noisePolls = 0;
    for (int i = 0; i < 1800; ++i) {  // an hour
        model.Advance(std::chrono::milliseconds(2000));
        PollInput poll;
        poll.time = {2000LL * i, 60};
        poll.link = LinkStatus::Ok;
        fill(poll.statusBlock, model.StatusData());
        fill(poll.timingBlock, model.TimingData());
        fill(poll.errorHistoryBlock, model.ErrorHistoryData());
        real.RecordPoll(poll);
        noisy.RecordPoll(poll);
        if (i % 7 == 3) {
            noisy.RecordPoll(GarbagePoll(model, rng, poll.time.utcMs));
            ++noisePolls;
        }
    }
    EXPECT_EQ(noisy.ImplausiblePolls(), noisePolls);
    EXPECT_EQ(real.ImplausiblePolls(), 0);
    EXPECT_GE(real.LockoutsSeen(), 1);
    EXPECT_EQ(noisy.LockoutsSeen(), real.LockoutsSeen());
    ASSERT_EQ(withNoise.size(), clean.size());
    for (std::size_t i = 0; i < clean.size(); ++i) {
        EXPECT_EQ(withNoise[i].kind, clean[i].kind) << i;
        EXPECT_EQ(withNoise[i].toState, clean[i].toState) << i;
    }
}

TEST(RawRepliesTest, PollsComeBackAsTheyWere)
{
    test::UnitState unit;
    unit.records = {test::ErrorRecordBytes(7, 1, 2300, 5, 60)};
    std::vector<PollInput> polls{PollOf(unit, 1'000'000), PollOf(unit, 1'002'000)};
    unit.state = 5;
    unit.flameTenths = 321;
    polls.push_back(PollOf(unit, 1'004'100));
    polls.push_back(PollOf({}, 1'003'000, LinkStatus::NoPort));  // the clock set back
    polls.back().statusBlock.fill(0xFF);                           // every byte changed
    polls.back().time.utcOffsetMinutes = -300;
    polls.push_back(PollOf(unit, 1'006'000, LinkStatus::TransferError));

    std::string bytes(RawFileHeader);
    for (std::size_t i = 0; i < polls.size(); ++i)
        bytes += EncodeRawRecord(polls[i], i ? &polls[i - 1] : nullptr);
    const std::vector<PollInput> read = ReadAll(bytes);
    ASSERT_EQ(read.size(), polls.size());
    for (std::size_t i = 0; i < polls.size(); ++i)
        EXPECT_TRUE(SamePoll(read[i], polls[i])) << "poll " << i;
    // An unchanged poll costs a few bytes only.
    EXPECT_LT(EncodeRawRecord(polls[1], &polls[0]).size(), 16u);
}

TEST(RawRepliesTest, DamageIsNamedWithItsPlace)
{
    test::UnitState unit;
    std::vector<PollInput> polls;
    std::string bytes(RawFileHeader);
    std::vector<std::size_t> starts;
    for (int i = 0; i < 4; ++i) {
        unit.flameTenths = 300 + i;
        polls.push_back(PollOf(unit, 2000 * i));
        starts.push_back(bytes.size());
        bytes += EncodeRawRecord(polls.back(), i ? &polls[static_cast<std::size_t>(i) - 1] : nullptr);
    }
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        std::string message;
    };
    const std::string second = std::to_string(starts[1]);
    const std::vector<Case> cases{
        {"another file", [](std::string& b) { b.replace(0, 5, "JUNK!"); },
            "night.kraw: damaged at byte 0 (poll 0): not a Kalvo raw"},
        {"a changed first line", [](std::string& b) { b[3] ^= 0x04; },
            "night.kraw: damaged at byte 0 (poll 0): its first line is damaged"},
        {"a changed byte", [&](std::string& b) { b[starts[1] + 5] ^= 0x01; },
            "damaged at byte " + second + " (poll 2): its checksum does not match"},
        {"bytes lost in the middle", [&](std::string& b) { b.erase(starts[1] + 3, 2); },
            "damaged at byte " + second + " (poll 2)"},
        {"noise between records", [&](std::string& b) { b.insert(starts[2], "zz"); },
            "damaged at byte " + std::to_string(starts[2]) + " (poll 3): no record starts here"},
        {"a huge length in a full record",
            [&](std::string& b) { b.replace(2 + RawFileHeader.size(), 1, "\xFF\xFF\x7F"); },
            "damaged at byte " + std::to_string(RawFileHeader.size()) + " (poll 1)"},
    };
    for (const Case& c : cases) {
        std::string damaged = bytes;
        c.damage(damaged);
        try {
            ReadAll(damaged);
            ADD_FAILURE() << c.name << ": read without complaint";
        } catch (const RecordError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.name << ": " << error.what();
        }
    }
    // A power cut while the last record was written loses that record only.
    EXPECT_EQ(ReadAll(bytes.substr(0, bytes.size() - 3)).size(), polls.size() - 1);
}

// A day's raw file of polls every two seconds from the start, as the recorder writes it.
std::string RawDay(std::int64_t startMs, int polls)
{
    test::UnitState unit;
    std::string bytes(RawFileHeader);
    std::optional<PollInput> previous;
    for (int i = 0; i < polls; ++i) {
        unit.flameTenths = 300 + i;
        const PollInput poll = PollOf(unit, startMs + 2000LL * i);
        bytes += EncodeRawRecord(poll, previous ? &*previous : nullptr);
        previous = poll;
    }
    return bytes;
}

TEST(RawRepliesTest, ADamagedFileCostsOnlyItsOwnPolls)
{
    constexpr std::int64_t Day = 86'400'000;
    test::TempDir dir;
    const std::string cut = RawDay(2 * Day, 60), damaged = RawDay(3 * Day, 60);
    test::WriteFileBytes(dir.file("replies-1970-01-02.kraw"), RawDay(Day, 60));
    test::WriteFileBytes(dir.file("replies-1970-01-02-2.kraw"), "");  // lost, or a full disk when it was made
    test::WriteFileBytes(dir.file("replies-1970-01-03.kraw"), cut.substr(0, cut.size() / 2));
    std::string changed = damaged;
    changed[changed.size() / 2] ^= 0x10;
    test::WriteFileBytes(dir.file("replies-1970-01-04.kraw"), changed);
    test::WriteFileBytes(dir.file("replies-1970-01-05.kraw"), RawDay(5 * Day, 60));
    test::WriteFileBytes(dir.file("replies-1970-01-06.kraw"), "not a raw file at all");

    std::vector<std::int64_t> times;
    const std::vector<MissingSpan> missing =
        ReadRecording(dir.path(), [&](const PollInput& poll) { times.push_back(poll.time.utcMs); });
    EXPECT_EQ(std::count_if(times.begin(), times.end(), [](auto t) { return t / Day == 1 || t / Day == 5; }), 120);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    const auto polls = [&](std::int64_t day) {
        return std::count_if(times.begin(), times.end(), [&](auto t) { return t / Day == day; });
    };
    const auto lastOf = [&](std::int64_t day) { return IsoText({day * Day + 2000 * (polls(day) - 1), 60}); };
    ASSERT_EQ(missing.size(), 4u);
    EXPECT_EQ(MissingSpanText(missing[0]),
        "replies-1970-01-02-2.kraw: empty (nothing of it reached the disk); no polls from " + lastOf(1) + " to "
            + IsoText({2 * Day, 60}));
    EXPECT_EQ(MissingSpanText(missing[1]),
        "replies-1970-01-03.kraw: cut short after poll " + std::to_string(polls(2)) + "; no polls from " + lastOf(2)
            + " to " + IsoText({3 * Day, 60}));
    EXPECT_NE(MissingSpanText(missing[2]).find("replies-1970-01-04.kraw: damaged at byte "), std::string::npos);
    EXPECT_NE(MissingSpanText(missing[2]).find("; no polls from " + lastOf(3) + " to " + IsoText({5 * Day, 60})),
        std::string::npos)
        << MissingSpanText(missing[2]);
    EXPECT_EQ(MissingSpanText(missing[3]),
        "replies-1970-01-06.kraw: damaged at byte 0 (poll 0): not a Kalvo raw replies file (its first line is "
        "not \"KALVO RAW REPLIES 1\"); no polls after "
            + lastOf(5));
    EXPECT_GT(polls(2), 0);
    EXPECT_GT(polls(3), 0);
}

// A changed byte in a file's first line costs no poll: the records after it carry their own
// checksums. A last file cut short is a power cut, unless its readings file goes on after it.
TEST(RawRepliesTest, AChangedFirstLineOrACutLastFileIsSaidWhereItCostsPolls)
{
    constexpr std::int64_t Day = 86'400'000;
    test::TempDir dir;
    {
        RawRepliesSink sink(dir.path(), Durability::None);  // a full record at the start and ten minutes in
        test::UnitState unit;
        for (int i = 0; i < 400; ++i) {
            unit.flameTenths = 300 + i % 50;
            sink.OnPoll(PollOf(unit, Day + 2000LL * i), DecodedPoll{});
        }
    }
    const std::string whole = test::ReadFileBytes(dir.file("replies-1970-01-02.kraw"));
    std::string flipped = whole;
    flipped[7] ^= 0x01;
    test::WriteFileBytes(dir.file("replies-1970-01-02.kraw"), flipped);
    std::vector<std::int64_t> times;
    std::vector<MissingSpan> missing =
        ReadRecording(dir.path(), [&](const PollInput& poll) { times.push_back(poll.time.utcMs); });
    EXPECT_EQ(times.size(), 400u);
    EXPECT_TRUE(missing.empty()) << MissingSpanText(missing.front());
    // The first record damaged too: the reading goes on at the next full record.
    flipped[RawFileHeader.size() + 3] ^= 0x01;
    test::WriteFileBytes(dir.file("replies-1970-01-02.kraw"), flipped.substr(0, flipped.size() - 5));
    times.clear();
    missing = ReadRecording(dir.path(), [&](const PollInput& poll) { times.push_back(poll.time.utcMs); });
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_FALSE(missing[0].from);
    ASSERT_EQ(times.size(), 99u);             // to the end, the last one cut off
    EXPECT_EQ(times.front(), Day + 600'000);  // from the full record ten minutes in

    // The readings file went on for an hour after the raw file's last poll.
    const std::string readingsEnd = IsoText({Day + 3'600'000, 60});
    test::WriteFileBytes(dir.file("readings-1970-01-02.csv"), "Time,Link\r\n" + readingsEnd + ",ok\r\n");
    missing = ReadRecording(dir.path(), [](const PollInput&) {});
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(MissingSpanText(missing[1]),
        "replies-1970-01-02.kraw: cut short after poll " + std::to_string(times.size()) + "; no polls from "
            + IsoText({times.back(), 60}) + " to " + readingsEnd);
    test::WriteFileBytes(dir.file("replies-1970-01-02.kraw"), whole);  // whole, yet ends early
    missing = ReadRecording(dir.path(), [](const PollInput&) {});
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(MissingSpanText(missing[0]),
        "replies-1970-01-02.kraw: its polls end at poll 400, its readings file goes "
        "on; no polls from "
            + IsoText({Day + 2000 * 399, 60}) + " to " + readingsEnd);
}

// Damage in the middle of a file costs the polls up to the next full record, which the recorder
// writes every ten minutes; the polls after it are read again.
TEST(RawRepliesTest, DamageInTheMiddleOfAFileCostsOnlyTheDamagedSpan)
{
    constexpr int Polls = 1200;  // 40 minutes
    constexpr std::int64_t TenMinutes = 600'000;
    test::TempDir dir;
    {
        RawRepliesSink sink(dir.path(), Durability::None);
        test::UnitState unit;
        for (int i = 0; i < Polls; ++i) {
            unit.flameTenths = 300 + i % 50;
            sink.OnPoll(PollOf(unit, 2000LL * i), DecodedPoll{});
        }
    }
    const std::string file = dir.file("replies-1970-01-01.kraw");
    const std::string bytes = test::ReadFileBytes(file);
    const std::size_t middle = bytes.size() * 45 / 100;
    const std::size_t fullRecord = bytes.find("\xA5"
                                              "F",
        middle);
    const struct {
        const char* name;
        std::function<void(std::string&)> damage;
        std::int64_t spanAtMost;  // from the last poll before the damage to the first after
    } cases[] = {
        {"a changed byte", [&](std::string& b) { b[middle] ^= 0x10; }, TenMinutes + 2000},
        {"bytes lost", [&](std::string& b) { b.erase(middle, 7); }, TenMinutes + 2000},
        {"noise",
            [&](std::string& b) {
                b.insert(middle,
                    "\xA5"
                    "F\x05zzzzz\xA5"
                    "D");
            },
            TenMinutes + 2000},
        {"a byte just before a full record", [&](std::string& b) { b.insert(fullRecord, 1, 'x'); }, 2000},
    };
    for (const auto& c : cases) {
        std::string damaged = bytes;
        c.damage(damaged);
        test::WriteFileBytes(file, damaged);
        std::vector<std::int64_t> times;
        const std::vector<MissingSpan> missing =
            ReadRecording(dir.path(), [&](const PollInput& poll) { times.push_back(poll.time.utcMs); });
        ASSERT_EQ(missing.size(), 1u) << c.name;
        ASSERT_TRUE(missing[0].from && missing[0].to) << c.name << ": " << MissingSpanText(missing[0]);
        EXPECT_NE(missing[0].what.find("replies-1970-01-01.kraw: damaged at byte "), std::string::npos) << c.name;
        const std::int64_t from = missing[0].from->utcMs, to = missing[0].to->utcMs;
        EXPECT_LE(to - from, c.spanAtMost) << c.name;
        EXPECT_EQ(static_cast<std::int64_t>(times.size()), Polls - ((to - from) / 2000 - 1)) << c.name;
        EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << c.name;
        EXPECT_EQ(times.back(), 2000LL * (Polls - 1)) << c.name;
    }
    // The records skipped after damage are not counted, so a later damage is named by its byte alone.
    std::string twice = bytes;
    twice[middle] ^= 0x10;
    twice[bytes.size() * 80 / 100] ^= 0x10;
    test::WriteFileBytes(file, twice);
    const std::vector<MissingSpan> spans = ReadRecording(dir.path(), [](const PollInput&) {});
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_NE(spans[0].what.find(" (poll "), std::string::npos) << spans[0].what;
    EXPECT_EQ(spans[1].what.find(" (poll "), std::string::npos) << spans[1].what;
}

#ifdef __linux__
// What the process has read so far, as the kernel counts it.
std::uint64_t BytesReadByThisProcess()
{
    const std::string io = test::ReadFileBytes("/proc/self/io");
    return std::stoull(io.substr(io.find("rchar: ") + 7));
}

TEST(RawRepliesTest, AHugeFileThatIsNotARawFileIsRefusedAfterItsFirstLine)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.file("replies-2026-12-07.kraw"), "JUNK");
    std::filesystem::resize_file(dir.file("replies-2026-12-07.kraw"), std::uintmax_t{1} << 30);  // sparse
    const std::uint64_t before = BytesReadByThisProcess();
    EXPECT_THROW(ReadRawFile(dir.file("replies-2026-12-07.kraw"), [](const PollInput&) {}), RecordError);
    EXPECT_LT(BytesReadByThisProcess() - before, std::uint64_t{1} << 20);
}
#endif

TEST(RecordFolderTest, AFolderThatCannotTakeFilesIsRefusedWithItsName)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.file("plain-file"), "x");
    for (const std::string& folder : {dir.file("plain-file"), dir.file("plain-file") + "/below"}) {
        try {
            PrepareFolder(folder);
            ADD_FAILURE() << folder << " accepted";
        } catch (const RecordError& error) {
            EXPECT_NE(std::string(error.what()).find(folder), std::string::npos) << error.what();
        }
    }
    PrepareFolder(dir.path() / "new" / "night");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "new" / "night"));
}

TEST(RecordFolderTest, AFolderIsRecordedByOneRecorderAtATime)
{
    test::TempDir dir;
    const RecordLanguage language(test::NumberedLanguage());
    {
        FolderRecorder first(dir.path(), language, "COM7, process 1");
        try {
            FolderRecorder second(dir.path(), language, "COM8, process 2");
            ADD_FAILURE() << "a second recorder was let into the folder";
        } catch (const RecordError& error) {
            EXPECT_NE(std::string(error.what())
                          .find("Cannot record into " + dir.path().string()
                              + ": another recorder records into it (COM7, process 1)"),
                std::string::npos)
                << error.what();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / FolderLock::FileName)) << "the lock file stays behind";
    FolderRecorder afterwards(dir.path(), language, "COM8, process 2");

    // Recorders of two ports started in the same place do not share a folder unless told to.
    RecordOptions options;
    EXPECT_EQ(RecordFolder(options, 7), std::filesystem::path("COM7"));
    EXPECT_EQ(RecordFolder(options, 8), std::filesystem::path("COM8"));
    options.outFolder = "night";
    EXPECT_EQ(RecordFolder(options, 8), std::filesystem::path("night"));
}

// Two decodings into one folder would write every row twice: the second is refused while the first
// holds the folder.
TEST(RecordFolderTest, ADecodingHoldsTheFolderItWritesInto)
{
    test::TempDir recorded, decoded;
    const RecordLanguage language(test::NumberedLanguage());
    {
        FolderRecorder recording(recorded.path(), language, "COM7, process 1", false);
        recording.RecordPoll(PollOf({}, 0));
    }
    {
        const FolderLock first(decoded.path(), ProcessHolder("decoding night"));
        try {
            DecodeRecording(recorded.path(), decoded.path(), language);
            ADD_FAILURE() << "a second decoding was let into the folder";
        } catch (const RecordError& error) {
            EXPECT_NE(std::string(error.what()).find("another recorder records into it (decoding night, process "),
                std::string::npos)
                << error.what();
        }
        EXPECT_FALSE(std::filesystem::exists(decoded.path() / "readings-1970-01-01.csv"));
    }
    EXPECT_EQ(DecodeRecording(recorded.path(), decoded.path(), language).polls, 1);
    EXPECT_FALSE(std::filesystem::exists(decoded.path() / FolderLock::FileName));
}

// A recorder started again goes on from the last poll in the folder: a lockout while it was
// stopped is one lockout in its events, in the report and in a decoding alike, said between the
// last poll before and the first after.
TEST(RecordFolderTest, ALockoutWhileTheRecorderWasStoppedCountsOnceEverywhere)
{
    test::TempDir dir, decoded;
    const RecordLanguage language(test::NumberedLanguage());
    test::UnitState unit;
    const auto run = [&](std::int64_t fromMs) {
        FolderRecorder recording(dir.path(), language, "COM7, process 1", false);
        for (int i = 0; i < 5; ++i)
            recording.RecordPoll(PollOf(unit, fromMs + 2000LL * i));
        EXPECT_EQ(recording.GetRecorder().Polls(), 5);
        return recording.GetRecorder().LockoutsSeen();
    };
    EXPECT_EQ(run(0), 0);
    unit.state = 7;
    unit.flags = 0x80;
    unit.records = {test::ErrorRecordBytes(7, 1234, 2215, 123, 4321)};
    EXPECT_EQ(run(3'600'000), 1);

    const NightTexts& texts = language.texts;
    const auto lockoutRows = [&](const std::filesystem::path& folder) {
        const std::string events = test::ReadFileBytes((folder / "events-1970-01-01.csv").string());
        const std::string word = "," + texts[EventWord(EventKind::NewErrorRecord)] + ",";
        std::size_t rows = 0;
        for (auto at = events.find(word); at != std::string::npos; at = events.find(word, at + 1))
            ++rows;
        return rows;
    };
    EXPECT_EQ(lockoutRows(dir.path()), 1u);
    DecodeRecording(dir.path(), decoded.path(), language);
    EXPECT_EQ(lockoutRows(decoded.path()), 1u);
    const NightSummary summary = SummarizeRecording(dir.path(), language.lines);
    ASSERT_EQ(summary.Markers().size(), 1u);
    ASSERT_TRUE(summary.Markers()[0].since);
    EXPECT_EQ(summary.Markers()[0].since->utcMs, 8000);
    EXPECT_NE(NightReportHtml(summary, texts)
                  .find("between " + DateTimeText(8000, 60) + " and " + DateTimeText(3'600'000, 60)),
        std::string::npos);
}

#ifndef _WIN32
// A recorder whose folder was moved away, and a new folder of that name made meanwhile: as it ends
// it leaves the new recorder's lock file alone.
TEST(RecordFolderTest, ALockFileIsRemovedOnlyWhereItStillLies)
{
    test::TempDir dir;
    const std::filesystem::path folder = dir.path() / "night";
    std::filesystem::create_directory(folder);
    std::optional<FolderLock> movedAway(std::in_place, folder, "COM7, process 1");
    std::filesystem::rename(folder, dir.path() / "elsewhere");
    std::filesystem::create_directory(folder);
    const FolderLock second(folder, "COM8, process 2");
    movedAway.reset();
    EXPECT_TRUE(std::filesystem::exists(folder / FolderLock::FileName));
    EXPECT_THROW(FolderLock(folder, "COM9, process 3"), RecordError);
}

// The folder removed or moved away while recording: recording stops with the file's name, rather
// than writing on where no one finds it; a folder moved away keeps whole rows.
TEST(RecordFolderTest, AFolderRemovedOrMovedAwayStopsRecording)
{
    const RecordLanguage language(test::NumberedLanguage());
    for (const bool moved : {false, true}) {
        test::TempDir dir;
        const std::filesystem::path folder = dir.path() / "night";
        FolderRecorder recording(folder, language, "COM7, process 1");
        recording.RecordPoll(PollOf({}, 0));
        if (moved)
            std::filesystem::rename(folder, dir.path() / "elsewhere");
        else
            std::filesystem::remove_all(folder);
        try {
            recording.RecordPoll(PollOf({}, 2000));
            ADD_FAILURE() << (moved ? "moved" : "removed") << ": recorded on";
        } catch (const RecordError& error) {
            EXPECT_NE(std::string(error.what())
                          .find("Cannot write to " + (folder / "readings-1970-01-01.csv").string()
                              + ": the file was removed, or moved away with its folder"),
                std::string::npos)
                << error.what();
        }
        if (moved) {
            const std::string kept = test::ReadFileBytes((dir.path() / "elsewhere/readings-1970-01-01.csv").string());
            EXPECT_EQ(test::ParseCsv(kept).size(), 2u);  // the header and the first poll
        }
    }
}

// A full disk, played by a file size limit: the write that does not fit fails as a whole, the
// recorder stops with the file's name, and every file still ends after a whole row or record.
TEST(RecordFolderTest, AFullDiskStopsRecordingAndDamagesNothing)
{
    test::TempDir dir;
    const RecordLanguage language(test::NumberedLanguage());
    test::UnitState unit;
    unit.state = 5;
    std::string message;
    {
        Recorder recorder(language.lines);
        recorder.AddSink(std::make_unique<ReadingsCsvSink>(dir.path(), language, Durability::None));
        recorder.AddSink(std::make_unique<RawRepliesSink>(dir.path(), Durability::None));
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit saved = limit;
        limit.rlim_cur = 20'000;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            for (int i = 0; i < 10'000; ++i) {
                unit.flameTenths = 300 + i % 50;
                recorder.RecordPoll(PollOf(unit, 2000LL * i));
            }
        } catch (const RecordError& error) {
            message = error.what();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    EXPECT_NE(message.find("Cannot write to " + dir.file("readings-1970-01-01.csv")), std::string::npos) << message;
    const test::CsvTable rows = test::ParseCsv(test::ReadFileBytes(dir.file("readings-1970-01-01.csv")));
    EXPECT_GT(rows.size(), 10u);
    for (const auto& row : rows)
        EXPECT_EQ(row.size(), rows[0].size());
    // The raw file is whole: a new sink continues it instead of starting a numbered one.
    RawRepliesSink raw(dir.path(), Durability::None);
    raw.OnPoll(PollOf(unit, 0), {});
    EXPECT_EQ(raw.Files().Current()->Path(), dir.path() / "replies-1970-01-01.kraw");
}
#endif

}  // namespace
}  // namespace kalvo::record
