// The self-test's limits and pause, the drive list, and the registry reads of
// the About box.
#include "board/adc.h"
#include "platform/registry.h"
#include "tools/mounts.h"
#include "tools/selftest.h"
#include "tools/sysinfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(SelfTest, PassesOnlyCodesWithinTwoTenthsOfAVoltOfEachEndAndSleepsItsPause)
{
    EXPECT_TRUE(selftest::ZeroScaleOk(AdcCodeToVolts(81)));
    EXPECT_FALSE(selftest::ZeroScaleOk(AdcCodeToVolts(82)));
    EXPECT_TRUE(selftest::FullScaleOk(AdcCodeToVolts(8111)));
    EXPECT_FALSE(selftest::FullScaleOk(AdcCodeToVolts(8110)));
    int zeroPasses = 0, fullPasses = 0;
    for (int code = 0; code < 8192; ++code) {
        zeroPasses += selftest::ZeroScaleOk(AdcCodeToVolts(code));
        fullPasses += selftest::FullScaleOk(AdcCodeToVolts(code));
    }
    EXPECT_EQ(zeroPasses, 82);  // codes 0 to 81
    EXPECT_EQ(fullPasses, 81);  // codes 8111 to 8191
    EXPECT_FALSE(selftest::ZeroScaleOk(std::nanf("")));

    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    selftest::WaitMoreThan(0.2);
    EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_LT(static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC, 0.05);  // slept, did not spin
}

TEST(Drives, OnlyRealFileSystemsOnceEachRootFirst)
{
    const std::string table =
        "overlay / overlay rw 0 0\nproc /proc proc rw 0 0\ntmpfs /dev tmpfs rw 0 0\n"
        "cgroup2 /sys/fs/cgroup cgroup2 ro 0 0\ntmpfs /run/user/1000 tmpfs rw 0 0\n"
        "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n/dev/sda2 /home ext4 rw 0 0\n/dev/sda2 /home ext4 rw 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n/dev/loop3 /snap/core/1 squashfs ro 0 0\nserver:/data /mnt/data nfs4 rw 0 0\n"
        "garbage\n";
    const std::vector<std::string> expected = {"/", "/home", "/media/usb stick", "/mnt/data", "/tmp"};
    EXPECT_EQ(RealMountPoints(table), expected);
    EXPECT_EQ(MountPointOf("/media/usb stick/run", expected), "/media/usb stick");
    EXPECT_EQ(MountPointOf("/homework/x", expected), "/");
}

class Registry : public ::testing::Test {
protected:
    static constexpr uint32_t root = registry::kLocalMachine;
    void SetUp() override { registry::Clear(); }
    void TearDown() override { EXPECT_EQ(registry::OpenKeyCount(), 0u) << "a key was left open"; }
    std::string value = "stale";
};

TEST_F(Registry, TextLosesOnlyACountedZeroNumbersGiveDecimalOtherTypesLeaveTheText)
{
    registry::SetText(root, "Software\\Tools", "Counted", "/usr/bin/tool", true);
    registry::SetText(root, "Software\\Tools", "Uncounted", "/usr/bin/tool", false);
    registry::SetNumber(root, "Software\\Tools", "Small", 0x0001E240);  // top byte zero
    registry::SetNumber(root, "Software\\Tools", "Large", 0x80000001);
    registry::SetValue(root, "Software\\Tools", "Binary", 3, "\x01\x02", 2);
    const std::pair<const char*, const char*> cases[] = {
        {"Counted", "/usr/bin/tool"}, {"uncounted", "/usr/bin/tool"}, {"Small", "123456"},
        {"Large", "2147483649"},      {"Binary", "2147483649"}};  // left as the previous read gave it
    for (const auto& [name, expected] : cases) {
        EXPECT_TRUE(GetKeyValue(root, "SOFTWARE\\TOOLS", name, value)) << name;
        EXPECT_EQ(value, expected) << name;
    }
}

TEST_F(Registry, AMissingKeyOrValueOrAnOverlongValueEmptiesTheText)
{
    registry::SetText(root, "K", "Present", "x");
    registry::SetText(root, "K", "Long", std::string(1100, 'a'));
    EXPECT_FALSE(GetKeyValue(root, "Missing", "Present", value));
    EXPECT_EQ(value, "");
    value = "stale";
    EXPECT_FALSE(GetKeyValue(root, "K", "Absent", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(GetKeyValue(root, "K", "Long", value));
}

TEST_F(Registry, TheSystemToolKeyNamesAToolFoundOnPath)
{
    const fs::path dir = fs::temp_directory_path() / ("qv-path-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string savedPath = std::getenv("PATH");
    ::setenv("PATH", dir.c_str(), 1);
    registry::UseSystemDefaults();
    EXPECT_FALSE(GetKeyValue(root, registry::kSysInfoKey, registry::kSysInfoValue, value));

    std::ofstream(dir / "kinfocenter") << "#!/bin/sh\n";
    fs::permissions(dir / "kinfocenter", fs::perms(0755));
    std::ofstream(dir / "hardinfo") << "not executable\n";
    ::setenv("PATH", ("relative:" + dir.string()).c_str(), 1);
    registry::UseSystemDefaults();
    EXPECT_TRUE(GetKeyValue(root, registry::kSysInfoKey, registry::kSysInfoValue, value));
    EXPECT_EQ(value, (dir / "kinfocenter").string());
    ::setenv("PATH", savedPath.c_str(), 1);
    fs::remove_all(dir);
}
