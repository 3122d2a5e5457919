#pragma once
// The command lines of every program, the GNU way: long options as
// `--name=value` or `--name value`, short ones as `-h`, `--` ending the options,
// `--help` and `--version` answered on standard output (status 0) before any
// application object exists, and a bad option answered on standard error as
// "PROGRAM: what is wrong" with a hint to --help (status 2). Plain C++.
#include <optional>
#include <string>
#include <vector>

namespace cmdline {

struct Option {
    enum class Value { None, Required, Optional };
    std::string name;       // long form without the dashes: "listen"
    Value value = Value::None;
    std::string valueName;  // "HOST:PORT"
    std::string help;       // lines after the first are indented in --help
    char shortName = 0;
    // Written with one dash (-platform NAME) and left in argv for the toolkit:
    // not listed among the options of --help, not in Parsed.
    bool toolkit = false;
};

struct Program {
    std::string name;         // "qv4816x-scpi"
    std::string synopsis;     // "[OPTION]... [FILE]"
    std::string description;  // before the options in --help
    std::string footer;       // after them
    std::string version;      // the --version line after the name
    std::vector<Option> options;  // --help and --version come on top
    size_t maxOperands = 0;       // arguments that are not options
};

struct Parsed {
    struct Given {
        std::string name;
        std::optional<std::string> value;
    };
    std::vector<Given> given;  // in the order given
    std::vector<std::string> operands;

    bool Has(const std::string& name) const;
    // The value of the last `name` given; nullopt when it had none or was not given.
    std::optional<std::string> Value(const std::string& name) const;
};

// Parses argv[1..]. -1 to go on; otherwise the status to end with, once
// --help, --version or the complaint has been printed.
int Parse(const Program& program, int argc, const char* const* argv, Parsed& out);
// Prints "PROGRAM: message" and the hint to --help on standard error; 2.
int Fail(const Program& program, const std::string& message);
std::string HelpText(const Program& program);
// The version of the whole package ("1.1.6").
const char* PackageVersion();

}  // namespace cmdline
