#include "record/NightTexts.h"

#include "record/PollDecoding.h"

namespace kalvo::record {

namespace {

constexpr std::size_t LanguageCount = 2;
constexpr std::array<std::string_view, LanguageCount> LanguageCodes{"en", "de"};

// One row per word: the language file's line that holds it (0: none), then the word in English
// and in German. For a word with a line, the row holds the line's wording of the language files
// delivered with the program; it also tells which language a loaded file is written in.
struct Translation {
    NightWord word;
    int line;
    std::array<const char*, LanguageCount> words;
};

constexpr Translation Translations[] = {
    {NightWord::Title, 0, {"Kalvo night report", "Kalvo-Nachtbericht"}},
    {NightWord::NoPolls, 0, {"The recording holds no polls.", "Die Aufzeichnung enthält keine Abfragen."}},
    {NightWord::Missing, 0, {"Missing", "Fehlt"}},
    {NightWord::OnlyImplausiblePolls, 0,
        {"The recording holds no poll that can be the unit's; implausible polls:",
            "Die Aufzeichnung enthält keine Abfrage, die vom Gerät stammen kann; unplausible Abfragen:"}},
    {NightWord::ImplausiblePolls, 0, {"Implausible polls (left out)", "Unplausible Abfragen (ausgelassen)"}},
    {NightWord::To, 0, {"to", "bis"}},
    {NightWord::Totals, 0, {"Totals", "Übersicht"}},
    {NightWord::Polls, 0, {"Polls", "Abfragen"}},
    {NightWord::Good, 0, {"good", "gut"}},
    {NightWord::TransferErrors, 0, {"transfer errors", "Übertragungsfehler"}},
    {NightWord::WithoutPort, 0, {"without port", "ohne Port"}},
    {NightWord::Lockouts, 0, {"Lockouts (new error records)", "Störabschaltungen (neue Fehlereinträge)"}},
    {NightWord::LinkLosses, 0, {"Link losses", "Verbindungsabbrüche"}},
    {NightWord::BurnerStarts, 0, {"Burner starts", "Brennerstarts"}},
    {NightWord::Opened, 0, {"opened", "geöffnet"}},
    {NightWord::RunningTime, 0, {"Running time", "Laufzeit"}},
    {NightWord::FlameOn, 0, {"flame on", "Flamme an"}},
    {NightWord::WhileFlameOn, 0, {"while the flame is on", "bei brennender Flamme"}},
    {NightWord::Timeline, 0, {"Timeline", "Zeitverlauf"}},
    {NightWord::NoData, 0, {"no data", "keine Daten"}},
    {NightWord::LinkLost, 0, {"Link lost", "Verbindung verloren"}},
    {NightWord::Lockout, 19, {"Lockout", "Störabschaltung"}},
    {NightWord::MarkersHeading, 0, {"Lockouts and link losses", "Störabschaltungen und Verbindungsabbrüche"}},
    {NightWord::LockoutsUpClose, 0,
        {"Each lockout up close: 3 minutes before to 1 minute after, every poll",
            "Jede Störabschaltung aus der Nähe: 3 Minuten davor bis 1 Minute danach, jede Abfrage"}},
    {NightWord::Record, 0, {"The unit's new error record", "Der neue Fehlereintrag des Geräts"}},
    {NightWord::None, 0, {"None.", "Keine."}},
    {NightWord::Time, 0, {"Time", "Zeit"}},
    {NightWord::What, 0, {"What", "Ereignis"}},
    {NightWord::And, 0, {"and", "und"}},
    {NightWord::Between, 0, {"between", "zwischen"}},
    {NightWord::More, 0, {"more (see the events files)", "weitere (siehe die Ereignisdateien)"}},
    {NightWord::PerDay, 0, {"Per day", "Pro Tag"}},
    {NightWord::PerHour, 0, {"Per hour", "Pro Stunde"}},
    {NightWord::Day, 0, {"Day", "Tag"}},
    {NightWord::Hour, 0, {"Hour", "Stunde"}},
    {NightWord::Starts, 0, {"Starts", "Starts"}},
    {NightWord::Running, 0, {"Running", "Laufzeit"}},
    {NightWord::State, 0, {"state", "Zustand"}},
    {NightWord::FuelValve1, 4, {"Fuel valve BV 1", "Brennstoffventil BV 1"}},
    {NightWord::BurnerState, 45, {"Burner state", "Brennerzustand"}},
    {NightWord::FlameCurrent, 41, {"Flame current", "Flammenstrom"}},
    {NightWord::MainsVoltage, 44, {"Mains voltage", "Netzspannung"}},
    {NightWord::CounterReading, 31, {"Counter reading", "Zählerstand"}},
    {NightWord::RecordVolts, 32, {"Mains voltage", "Netzspannung"}},
    {NightWord::RecordFlame, 33, {"Flame current", "Flammenstrom"}},
    {NightWord::LinkOk, 0, {"ok", "ok"}},
    {NightWord::LinkTransferError, 0, {"transfer error", "Übertragungsfehler"}},
    {NightWord::LinkNoPort, 0, {"no port", "kein Port"}},
    // The CSV files' own words; the language file's lines are labels of the window's report.
    {NightWord::ColumnTime, 0, {"time", "Zeit"}},
    {NightWord::ColumnLink, 0, {"link", "Verbindung"}},
    {NightWord::ColumnStateCode, 0, {"state code", "Zustandscode"}},
    {NightWord::ColumnState, 0, {"state", "Zustand"}},
    {NightWord::ColumnStatusText, 0, {"status text", "Statustext"}},
    {NightWord::ColumnImplausible, 0, {"implausible", "unplausibel"}},
    {NightWord::ColumnEvent, 0, {"event", "Ereignis"}},
    {NightWord::ColumnFromStateCode, 0, {"from state code", "Zustandscode vorher"}},
    {NightWord::ColumnFromState, 0, {"from state", "Zustand vorher"}},
    {NightWord::ColumnToStateCode, 0, {"to state code", "Zustandscode nachher"}},
    {NightWord::ColumnToState, 0, {"to state", "Zustand nachher"}},
    {NightWord::ColumnRecord, 0, {"record", "Eintrag"}},
    {NightWord::ColumnRecordStateCode, 0, {"record state code", "Zustandscode des Eintrags"}},
    {NightWord::ColumnRecordState, 0, {"record state", "Zustand des Eintrags"}},
    {NightWord::ColumnRecordCounter, 0, {"record counter", "Zählerstand des Eintrags"}},
    {NightWord::ColumnRecordVoltage, 0, {"record voltage", "Netzspannung des Eintrags"}},
    {NightWord::ColumnRecordCurrent, 0, {"record current", "Flammenstrom des Eintrags"}},
    {NightWord::ColumnRecordTime, 0, {"record time", "Zeit des Eintrags"}},
    {NightWord::EventStateChange, 0, {"state change", "Zustandswechsel"}},
    {NightWord::EventLinkLost, 0, {"link lost", "Verbindung verloren"}},
    {NightWord::EventLinkBack, 0, {"link back", "Verbindung wieder da"}},
    {NightWord::EventNewErrorRecord, 0, {"new error record", "neuer Fehlereintrag"}},
    {NightWord::EventCountersWentBack, 0,
        {"the unit's counters went back: another unit?",
            "die Zähler des Geräts sind zurückgegangen: ein anderes Gerät?"}},
    {NightWord::EventCountersLeapt, 0,
        {"the unit's counters leapt: another unit?", "die Zähler des Geräts sind gesprungen: ein anderes Gerät?"}},
};
static_assert(std::size(Translations) == static_cast<std::size_t>(NightWord::Count));

// A language line as the report shows it: UTF-8, without the colon and blanks at its end.
std::string LineWord(const LanguageLines& language, int line)
{
    std::string word = Utf8FromWindows1252(language[line]);
    while (!word.empty() && (word.back() == ':' || word.back() == ' '))
        word.pop_back();
    return word;
}

// The language whose words the most lines of the file match; English when none does.
std::size_t LanguageOf(const LanguageLines& language)
{
    std::array<int, LanguageCount> matches{};
    for (const Translation& row : Translations)
        for (std::size_t k = 0; row.line && k < LanguageCount; ++k)
            matches[k] += LineWord(language, row.line) == row.words[k];
    std::size_t best = 0;
    for (std::size_t k = 1; k < LanguageCount; ++k)
        if (matches[k] > matches[best])
            best = k;
    return best;
}

}  // namespace

NightWord LinkWord(LinkStatus link)
{
    switch (link) {
    case LinkStatus::Ok:
        return NightWord::LinkOk;
    case LinkStatus::TransferError:
        return NightWord::LinkTransferError;
    case LinkStatus::NoPort:
        break;
    }
    return NightWord::LinkNoPort;
}

NightWord EventWord(EventKind kind)
{
    switch (kind) {
    case EventKind::StateChange:
        return NightWord::EventStateChange;
    case EventKind::LinkLost:
        return NightWord::EventLinkLost;
    case EventKind::LinkBack:
        return NightWord::EventLinkBack;
    case EventKind::CountersWentBack:
        return NightWord::EventCountersWentBack;
    case EventKind::CountersLeapt:
        return NightWord::EventCountersLeapt;
    case EventKind::NewErrorRecord:
        break;
    }
    return NightWord::EventNewErrorRecord;
}

NightTexts::NightTexts(const LanguageLines& language)
{
    const std::size_t k = LanguageOf(language);
    code_ = LanguageCodes[k];
    for (const Translation& row : Translations) {
        std::string& word = words_[static_cast<std::size_t>(row.word)];
        word = row.line ? LineWord(language, row.line) : std::string();
        if (word.empty())
            word = row.words[k];
    }
}

}  // namespace kalvo::record
