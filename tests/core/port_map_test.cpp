#include "core/posix/PortMap.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/TempDir.h"

namespace kalvo::posix {
namespace {

using kalvo::test::TempDir;
using kalvo::test::WriteFileBytes;

// A temporary /dev: regular files stand in for device nodes.
class DeviceTree : public ::testing::Test {
protected:
    void AddNodes(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            WriteFileBytes(dev.file(name), "");
    }
    PortDevice Node(const char* name, bool needsUartCheck = false) const
    {
        return {dev.file(name), needsUartCheck};
    }

    TempDir dev;
};

TEST_F(DeviceTree, ListsFamiliesInWineOrderUpToTheirFirstGap)
{
    AddNodes({"ttyACM0", "ttyUSB0", "ttyUSB2", "ttyS0", "ttyS1", "ttyS3", "ttyS10"});
    std::filesystem::create_symlink(dev.file("nowhere"), dev.file("ttyUSB1"));

    std::vector<PortDevice> expected{Node("ttyS0", true), Node("ttyS1", true), Node("ttyUSB0"),
                                     Node("ttyACM0")};
    EXPECT_EQ(ListSerialDevices(dev.path().string()), expected);
}

TEST_F(DeviceTree, FamilyWithoutNodeZeroIsSkipped)
{
    AddNodes({"ttyS1", "ttyUSB1", "ttyACM0"});
    EXPECT_EQ(ListSerialDevices(dev.path().string()), std::vector<PortDevice>{Node("ttyACM0")});
    EXPECT_TRUE(ListSerialDevices(dev.file("missing")).empty());
}

TEST(PortOverrides, OnlyComKeysWithANumberAndAPathCount)
{
    std::map<std::string, std::string> entries{
        {"COM7", "/dev/serial/by-id/usb-adapter"}, {"com12", "/dev/pts/3"}, {"Com255", "/x"},
        {"COM-2", "/y"}, {"COM", "/no-number"}, {"COM7x", "/junk"}, {"COM+5", "/sign"},
        {"COMX", "/letters"}, {"LPT1", "/printer"}, {"COM9", ""}};
    std::map<int, std::string> expected{{-2, "/y"}, {7, "/dev/serial/by-id/usb-adapter"},
                                        {12, "/dev/pts/3"}, {255, "/x"}};
    EXPECT_EQ(ParsePortOverrides(entries), expected);
}

struct NumberingCase {
    const char* name;
    std::map<int, std::string> overrides;
    std::map<int, std::string> expected;  // number -> path
};

TEST(ComNumbering, DevicesFillTheNumbersOverridesLeaveFree)
{
    const std::vector<PortDevice> devices{{"/dev/ttyS0", true}, {"/dev/ttyS1", true}, {"/dev/ttyUSB0", false}};
    const NumberingCase cases[] = {
        {"no overrides", {}, {{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/ttyUSB0"}}},
        {"COM2 taken", {{2, "/o"}}, {{1, "/dev/ttyS0"}, {2, "/o"}, {3, "/dev/ttyS1"}, {4, "/dev/ttyUSB0"}}},
        {"COM1 and COM3 taken",
         {{1, "/a"}, {3, "/b"}},
         {{1, "/a"}, {2, "/dev/ttyS0"}, {3, "/b"}, {4, "/dev/ttyS1"}, {5, "/dev/ttyUSB0"}}},
        {"beyond the devices and below 1",
         {{0, "/z"}, {20, "/sim"}},
         {{0, "/z"}, {1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/ttyUSB0"}, {20, "/sim"}}},
    };
    for (const NumberingCase& c : cases) {
        std::map<int, std::string> paths;
        for (const auto& [number, device] : AssignComNumbers(devices, c.overrides))
            paths.emplace(number, device.path);
        EXPECT_EQ(paths, c.expected) << c.name;
    }
}

TEST_F(DeviceTree, ResolveReadsTreeAndSettingsAfreshAtEachCall)
{
    AddNodes({"ttyS0", "ttyS1", "ttyUSB0"});
    TempDir home;
    const std::string settings = home.file("kalvo.ini");
    WriteFileBytes(settings, "[Main]\r\nCOM=2\r\n[Ports]\r\nCOM2=/dev/serial/by-id/adapter\r\n");
    PortMap ports(dev.path().string(), settings);

    EXPECT_EQ(ports.Resolve(1), Node("ttyS0", true));
    EXPECT_EQ(ports.Resolve(2), (PortDevice{"/dev/serial/by-id/adapter", false}));
    EXPECT_EQ(ports.Resolve(3), Node("ttyS1", true));
    EXPECT_EQ(ports.Resolve(4), Node("ttyUSB0"));
    EXPECT_EQ(ports.Resolve(5), std::nullopt);
    EXPECT_EQ(ports.Resolve(-1), std::nullopt);

    // An adapter plugged in and the settings entry gone while the program runs.
    AddNodes({"ttyACM0"});
    WriteFileBytes(settings, "[Main]\r\nCOM=2\r\n");
    EXPECT_EQ(ports.Resolve(2), Node("ttyS1", true));
    EXPECT_EQ(ports.Resolve(4), Node("ttyACM0"));
}

TEST_F(DeviceTree, MissingSettingsFileGivesPlainNumbering)
{
    AddNodes({"ttyUSB0"});
    PortMap ports(dev.path().string(), dev.file("no-such.ini"));
    EXPECT_EQ(ports.Resolve(1), Node("ttyUSB0"));
    EXPECT_EQ(ports.Resolve(2), std::nullopt);
}

}  // namespace
}  // namespace kalvo::posix
