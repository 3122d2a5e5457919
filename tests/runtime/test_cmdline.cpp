#include "runtime/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using V = cmdline::Option::Value;
const cmdline::Program kProgram{
    "prog", "[OPTION]... [FILE]", "", "", "9.9",
    {{"listen", V::Required, "HOST:PORT", "where", 0}, {"remote", V::Optional, "ADDR", "serve", 0},
     {"json", V::None, {}, "as JSON", 'j'}, {"platform", V::Required, "NAME", {}, 0, true}},
    1,
};

struct Row {
    std::vector<const char*> args;
    int status;             // -1: goes on
    std::string given;      // "name=value;name;" in order
    std::string operand;
};

std::string Given(const cmdline::Parsed& p)
{
    std::string s;
    for (const auto& g : p.given)
        s += g.name + (g.value ? "=" + *g.value : "") + ";";
    return s;
}

TEST(CommandLine, GnuForms)
{
    const Row rows[] = {
        {{"--listen=1:2"}, -1, "listen=1:2;", ""},
        {{"--listen", "1:2"}, -1, "listen=1:2;", ""},
        {{"--listen", "--json"}, -1, "listen=--json;", ""},  // a required value is taken as it comes
        {{"--listen"}, 2, "", ""},
        {{"--listen="}, -1, "listen=;", ""},
        {{"--remote"}, -1, "remote;", ""},
        {{"--remote", "127.0.0.1:0"}, -1, "remote=127.0.0.1:0;", ""},
        {{"--remote=127.0.0.1:0"}, -1, "remote=127.0.0.1:0;", ""},
        {{"--remote", "--json"}, -1, "remote;json;", ""},
        {{"--json=1"}, 2, "", ""},
        {{"-j", "f.dat"}, -1, "json;", "f.dat"},
        {{"--", "--json"}, -1, "", "--json"},
        {{"-"}, -1, "", "-"},
        {{"--bogus"}, 2, "", ""},
        {{"-x"}, 2, "", ""},
        {{"a", "b"}, 2, "", ""},
        {{"--help", "--bogus"}, 0, "", ""},
        {{"--version"}, 0, "", ""},
        {{"-h"}, 0, "", ""},
        {{"-platform", "offscreen", "--json"}, -1, "json;", ""},  // left to the toolkit
        {{"-platform"}, 2, "", ""},
        {{"--platform=x"}, 2, "", ""},
    };
    for (const Row& row : rows) {
        std::vector<const char*> argv{"prog"};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        cmdline::Parsed parsed;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int status = cmdline::Parse(kProgram, static_cast<int>(argv.size()), argv.data(), parsed);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string shown = row.args.empty() ? "" : row.args.front();
        EXPECT_EQ(status, row.status) << shown;
        if (status == 2) {
            EXPECT_EQ(err.rfind("prog: ", 0), 0u) << err;
        } else if (status == 0) {
            EXPECT_TRUE(out.rfind("Usage: prog", 0) == 0 || out == "prog 9.9\n") << out;
        }
        if (status != -1)
            continue;
        EXPECT_EQ(Given(parsed), row.given) << shown;
        EXPECT_EQ(parsed.operands.empty() ? "" : parsed.operands.front(), row.operand) << shown;
    }
}

TEST(CommandLine, HelpListsEveryOption)
{
    const std::string help = cmdline::HelpText(kProgram);
    for (const char* needle : {"--listen HOST:PORT", "--remote[=ADDR]", "-j, --json", "--help", "--version"})
        EXPECT_NE(help.find(needle), std::string::npos) << needle;
}

}  // namespace
