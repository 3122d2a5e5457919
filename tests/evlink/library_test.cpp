// The built libraries, loaded as the programs load them, in a child process:
// each library reads EVLINK_SIM and EVLINK_TRACE once.
#include "evlink1.h"
#include "evlink4.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kBuild = EVLINK_TEST_BUILD_DIR;
const std::string kFirmware = kBuild + "/QV4816.hex";
#define OP(lib, fn) reinterpret_cast<decltype(&fn)>(dlsym(lib, #fn))

// Both generations side by side, each with a board of its own; a non-zero
// result says which check failed.
int UseBothLibraries()
{
    const auto* path = reinterpret_cast<const uint8_t*>(kFirmware.c_str());
    void* four = dlopen((kBuild + "/libEVLINK4.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    void* one = dlopen((kBuild + "/libEVLINK1.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (four == nullptr || one == nullptr)
        return 10;
    // Nothing of the inside shows.
    if (dlsym(four, "_ZN6evlink8ParseHexESt17basic_string_viewIcSt11char_traitsIcEE") != nullptr ||
        dlsym(four, "LoadFirmWare") != nullptr || dlsym(one, "Connect") != nullptr)
        return 11;
    int32_t count = 0, h = 0;
    uint8_t list[128] = {}, zero = 0, buf[4] = {9, 9, 9, 9};
    OP(four, Search_For_Boards)(0x1234, 0x5678, &count, list);
    OP(four, Connect)(0x1234, 0x5678, list[0], &h);
    OP(four, Download_Firmware)(h, path);
    auto request4 = OP(four, Vendor_Request);
    request4(h, 222, 0x9D, 0, 0, 0, &zero);      // LDAC high
    request4(h, 221, 0x10, 0x0004, 0, 0, &zero);  // channel C powered
    request4(h, 217, 0x02, 0x80C5, 0, 0, &zero);  // DAC C, then the LDAC pulse
    request4(h, 221, 0x82, 0, 0, 0, &zero);
    if (request4(h, 221, 0x18, 0, 1, 3, buf) != 0 || buf[3] != 9)
        return 12;
    request4(h, 218, 0x8800, 0, 1, 2, buf);
    request4(h, 218, 0, 0, 1, 2, buf);
    request4(h, 221, 0x12345678, -1, 0, 0, &zero);

    auto request1 = OP(one, VendorIORequest);
    request1(222, 0x9D, 0, 0, 0, &zero);  // not loaded yet
    OP(one, LoadFirmWare)(path);
    request1(221, 0x80, 0x0000, 0, 0, &zero);
    request1(221, 0x18, 0x0000, 1, 3, buf);
    return 0;
}

}  // namespace

TEST(LibraryBoth, ExportsTraceAndOptionsFromTheEnvironment)
{
    const std::string trace = evtest::WriteFile("lib-trace", "");
    const std::string errors = evtest::WriteFile("lib-stderr", "");
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("EVLINK_SIM", "only, bogus ,resolution=12", 1);
        setenv("EVLINK_TRACE", trace.c_str(), 1);
        dup2(open(errors.c_str(), O_WRONLY | O_TRUNC), 2);
        _exit(UseBothLibraries());
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(evtest::ReadLines(trace),
              (std::vector<std::string>{
                  "search vid=0x1234 pid=0x5678 -> board=1",
                  "connect vid=0x1234 pid=0x5678 board=1 -> handle=1",
                  "download path=" + kFirmware + " -> status=0",
                  "request code=222 dir=0 value=0x009D index=0x0000 length=0",
                  "request code=221 dir=0 value=0x0010 index=0x0004 length=0",
                  "request code=217 dir=0 value=0x0002 index=0x80C5 length=0",
                  "request code=221 dir=0 value=0x0082 index=0x0000 length=0",
                  // bit-reversed bytes; a 12-bit part keeps the low four bits zero
                  "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> 41 01 03",
                  "request code=218 dir=1 value=0x8800 index=0x0000 length=2 -> 00 00",
                  // C at 0x80C0 on +5V: 2.515 V, code 5126, reached by the pulse
                  "request code=218 dir=1 value=0x0000 index=0x0000 length=2 -> 2B 60",
                  "request code=221 dir=0 value=0x5678 index=0xFFFF length=0",
                  "request code=222 dir=0 value=0x009D index=0x0000 length=0 -> error=NOT_OPEN",
                  "loadfirmware path=" + kFirmware + " -> status=1",
                  "request code=221 dir=0 value=0x0080 index=0x0000 length=0",
                  // the other library's board: nothing written yet
                  "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> 01 00 00",
              }));
    // Once per library, at its first call.
    EXPECT_EQ(evtest::ReadLines(errors), (std::vector<std::string>(2, "EVLINK_SIM: unknown option 'bogus' ignored")));
}
