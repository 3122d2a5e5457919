// Binding the interface library at the first call: a missing library or
// operation raises the run-time error that ends the program at start-up.
#include "board/boardlink.h"
#include "board/evlinkbind.h"
#include "harness.h"
#include "runtime/guard.h"
#include "runtime/runtimeerror.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
int errorNumberOf(void (*call)())
{
    try {
        call();
    } catch (const RunTimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(Binding, SecondGenerationBindsByAbsolutePath)
{
    harness::Setup(true);
    EXPECT_EQ(Evlink4::LibraryPath().front(), '/');

    // A library that loads but lacks the operation.
    const std::string saved = Evlink4::LibraryPath();
    Evlink4::SetLibraryPath(harness::BuildDir() + "/libEVLINK1.so");
    EXPECT_EQ(errorNumberOf([] { Board().ConnectStep(); }), 453);
    Evlink4::SetLibraryPath(saved);
}

TEST(Binding, FirstGenerationBindsByBareNameThroughTheRunPath)
{
    harness::Setup(false);
    EXPECT_EQ(Evlink1::LibraryName().find('/'), std::string::npos);
    EXPECT_NO_THROW(Board().ConnectStep());

    const std::string saved = Evlink1::LibraryName();
    Evlink1::SetLibraryName("libEVLINK4.so");  // found, but without LoadFirmWare
    EXPECT_EQ(errorNumberOf([] { Board().ConnectStep(); }), 453);
    Evlink1::SetLibraryName("libNO-SUCH-EVLINK.so");
    EXPECT_EQ(errorNumberOf([] { Board().ConnectStep(); }), 53);
    Evlink1::SetLibraryName(saved);
}

// A library cut short is refused before it is loaded, for either kind of
// binding: run-time error 48, never a crash in the loader.
TEST(Binding, ATruncatedLibraryRaisesError48)
{
    const std::string cut = "libQVCUT" + std::to_string(getpid()) + ".so", cutPath = harness::BuildDir() + "/" + cut;
    for (const bool second : {true, false}) {
        harness::Setup(second);
        for (const off_t size : {2000, 60000, 100000}) {
            std::filesystem::copy_file(harness::BuildDir() + (second ? "/libEVLINK4.so" : "/libEVLINK1.so"), cutPath,
                                       std::filesystem::copy_options::overwrite_existing);
            ASSERT_EQ(truncate(cutPath.c_str(), size), 0);
            second ? Evlink4::SetLibraryPath(cutPath) : Evlink1::SetLibraryName(cut);  // by path, by search
            EXPECT_EQ(errorNumberOf([] { Board().ConnectStep(); }), 48) << size;
        }
    }
    std::filesystem::remove(cutPath);
    Evlink4::SetLibraryPath(QV_EVLINK4_DEFAULT);
    Evlink1::SetLibraryName("libEVLINK1.so");
}

TEST(Binding, AnUncaughtRunTimeErrorIsShownAndEndsTheProgram)
{
    harness::Setup(true);
    Evlink4::SetLibraryPath("/nonexistent/libEVLINK4.so");
    EXPECT_FALSE(Guarded([] { Board().ConnectStep(); }));
    EXPECT_TRUE(harness::Ended());
    ASSERT_EQ(harness::ShownBoxes().size(), 1u);
    EXPECT_EQ(harness::ShownBoxes()[0].text, "Run-time error '53':\n\nFile not found: /nonexistent/libEVLINK4.so");
    EXPECT_EQ(harness::ShownBoxes()[0].title, "QV4816X");
    // Once the program has ended no further handler runs.
    bool ran = false;
    EXPECT_FALSE(Guarded([&] { ran = true; }));
    EXPECT_FALSE(ran);
    Evlink4::SetLibraryPath(QV_EVLINK4_DEFAULT);
}
}  // namespace
