// kalvo-record's configuration file and the service's options: keys become options, every fault
// is named with its file and line, and the command line wins over the file.

#include <gtest/gtest.h>

#include "record/DayFile.h"
#include "record/RecordConfig.h"
#include "record/RecordOptions.h"
#include "testing/TempDir.h"

namespace kalvo::record {
namespace {

using Arguments = std::vector<std::string>;

// Ports are device paths only where the system names them so.
#ifdef _WIN32
const std::string PortWanted = "port wants COM1 .. COM255";
#else
const std::string PortWanted = "port wants COM1 .. COM255 or a device path such as /dev/ttyUSB0";
#endif

// The record options' own check; the broker's keys are checked by the program with the broker.
std::string CheckRecordOption(const std::string& option, const std::string& value)
{
    if (option == "--mqtt" || option == "--name" || option.starts_with("--mqtt-") || option == "--ha-discovery")
        return {};
    return ParseRecordOptions(value.empty() ? Arguments{option} : Arguments{option, value}).error;
}

TEST(RecordConfig, EachKeyBecomesItsOptionInTheOrderOfTheFile)
{
    const ConfigArguments parsed = ParseRecordConfig("\xEF\xBB\xBF# a box at the burner\r\n"
                                                     "port = COM7\r\n"
                                                     "\n"
                                                     "  folder=/srv/burner 7  \n"
                                                     "keep = 30\n"
                                                     "keep-megabytes = 500\n"
                                                     "broker = mqtt://broker.lan\n"
                                                     "name = boiler-7\n"
                                                     "user = kalvo\n"
                                                     "password-file = /etc/kalvo/record/boiler-7.password\n"
                                                     "ha-discovery = yes\n"
                                                     "language = /opt/kalvo/lang/de/MY.LNG\n",
        "boiler-7.conf", CheckRecordOption);

    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.arguments,
        (Arguments{"--port", "COM7", "--out", "/srv/burner 7", "--keep", "30",
            "--keep-megabytes", "500", "--mqtt", "mqtt://broker.lan", "--name", "boiler-7", "--mqtt-user", "kalvo",
            "--mqtt-password-file", "/etc/kalvo/record/boiler-7.password", "--ha-discovery", "--language",
            "/opt/kalvo/lang/de/MY.LNG"}));
    EXPECT_EQ(ParseRecordConfig("ha-discovery = no\n", "a.conf", CheckRecordOption).arguments, Arguments{});
}

TEST(RecordConfig, AFaultIsNamedWithItsFileAndLine)
{
    const struct {
        const char* text;
        std::string error;
    } cases[] = {
        {"port = COM7\nprot = COM8\n", "a.conf, line 2: unknown key 'prot'; the keys are port, folder, language, "
                                       "settings, keep, keep-megabytes, broker, name, user, password-file, "
                                       "broker-ca, ha-discovery"},
        {"# comment\nport = COM0\n", "a.conf, line 2: " + PortWanted + ", not 'COM0'"},
        {"keep = 30 days\n", "a.conf, line 1: keep wants a number of days from 1 to 36500, not '30 days'"},
        {"keep-megabytes = -5\n", "a.conf, line 1: keep-megabytes wants a number of megabytes from 1 up, not '-5'"},
        {"port =\n", "a.conf, line 1: port has no value"},
        {"port COM7\n", "a.conf, line 1: 'port COM7' is not a line 'key = value'"},
        {"keep = 3\n\nkeep = 4\n", "a.conf, line 3: keep is given twice (first on line 1)"},
        {"ha-discovery = maybe\n", "a.conf, line 1: ha-discovery wants yes or no, not 'maybe'"},
        {"user = kalvo\npassword = s3cret\n",
            "a.conf, line 2: the password does not go in this file: give password-file = FILE (a file only the "
            "recorder may read) or the environment variable KALVO_MQTT_PASSWORD"},
    };
    for (const auto& c : cases) {
        const ConfigArguments parsed = ParseRecordConfig(c.text, "a.conf", CheckRecordOption);
        EXPECT_EQ(parsed.error, c.error) << c.text;
        EXPECT_TRUE(parsed.arguments.empty()) << c.text;
    }
}

TEST(RecordConfig, TheCommandLineWinsOverTheFile)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.file("box.conf"), "port = COM9\nfolder = /srv/from-file\nkeep = 30\n");
    const ConfigArguments expanded = ExpandConfigOptions(
        {"--out", "/srv/from-line", "--config", dir.file("box.conf"), "--port", "COM3"}, {}, CheckRecordOption);
    ASSERT_EQ(expanded.error, "");

    const ParsedRecordOptions parsed = ParseRecordOptions(expanded.arguments);
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.outFolder, "/srv/from-line");
    EXPECT_EQ(parsed.options.portNumber, 3);
    EXPECT_EQ(parsed.options.keepDays, 30);

    const ConfigArguments missing = ExpandConfigOptions({"--config", dir.file("none.conf")}, {}, CheckRecordOption);
    EXPECT_TRUE(missing.error.starts_with("cannot read the configuration file " + dir.file("none.conf")))
        << missing.error;
}

TEST(RecordConfig, AServiceIsItsPortOrNamesOneInItsFile)
{
    test::TempDir dir;
    const ServiceFolders folders{dir.path() / "etc", dir.path() / "var"};
    std::filesystem::create_directories(folders.config);
    test::WriteFileBytes(PathText(folders.config / "boiler-7.conf"), "port = COM12\nfolder = /srv/boiler\n");
    test::WriteFileBytes(PathText(folders.config / "COM8.conf"), "keep = 7\n");
    test::WriteFileBytes(PathText(folders.config / "loft.conf"), "keep = 7\n");

    const struct {
        Arguments line;
        Arguments expanded;
        std::string error;
    } cases[] = {
        {{"--service", "COM7"}, {"--port", "COM7", "--out", PathText(folders.state / "COM7")}, ""},
#ifndef _WIN32  // Windows takes any name "COM8.<extension>" for the port COM8 itself
        {{"--service", "COM8", "--keep", "2"}, {"--port", "COM8", "--out", PathText(folders.state / "COM8"), "--keep", "7", "--keep",
                                                   "2"}, ""},
#endif
        {{"--service", "boiler-7"}, {"--out", PathText(folders.state / "boiler-7"), "--port", "COM12", "--out", "/srv/boiler"},
            ""},
        {{"--service", "shed"}, {}, "shed is no COM port, and there is no " + PathText(folders.config / "shed.conf")
                                        + " to name one"},
        {{"--service", "loft"}, {}, PathText(folders.config / "loft.conf")
                                        + " names no port (port = /dev/ttyUSB0, for example), and loft is no COM port"},
        {{"--service", "../etc"}, {}, "--service wants a name of letters, digits, '-', '_' and '.', not '../etc'"},
        {{"--service"}, {}, "--service wants a value"},
    };
    for (const auto& c : cases) {
        const ConfigArguments expanded = ExpandConfigOptions(c.line, folders, CheckRecordOption);
        EXPECT_EQ(expanded.error, c.error) << c.line.back();
        EXPECT_EQ(expanded.arguments, c.expanded) << c.line.back();
    }
}

}  // namespace
}  // namespace kalvo::record
