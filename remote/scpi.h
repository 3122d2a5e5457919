#pragma once
// SCPI program messages: one line split into commands at ';', each a header
// (long or short mnemonics, any case, ':'-separated, '*' for the common
// commands, '?' for a query) and parameters separated by ','. Decimal and
// #H/#Q/#B numbers, decimal numbers with a unit (2.5V, 2500 MV, 10MS), channel
// lists ((@1,3:4)), character data and quoted strings (UTF-8). Plain C++.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scpi {

// The standard error numbers the server uses, and their texts.
enum Error : int {
    kNoError = 0,
    kCommandError = -100,
    kInvalidCharacter = -101,
    kSyntaxError = -102,
    kDataTypeError = -104,
    kParameterNotAllowed = -108,
    kMissingParameter = -109,
    kHeaderSeparatorError = -111,
    kMnemonicTooLong = -112,
    kUndefinedHeader = -113,
    kHeaderSuffixOutOfRange = -114,
    kInvalidCharacterInNumber = -121,
    kInvalidSuffix = -131,
    kSuffixNotAllowed = -138,
    kInvalidStringData = -151,
    kExecutionError = -200,
    kSettingsConflict = -221,
    kDataOutOfRange = -222,
    kTooMuchData = -223,
    kIllegalParameterValue = -224,
    kHardwareError = -240,
    kHardwareMissing = -241,
    kFileNameError = -257,
    kDeviceError = -300,
    kSelfTestFailed = -330,
    kQueueOverflow = -350,
    kQueryInterrupted = -410,
};
const char* ErrorText(int code);
// "<code>,\"<text>[;<info>]\"" as SYSTem:ERRor? answers.
std::string ErrorLine(int code, std::string_view info = {});

struct Param {
    enum class Kind { Number, Word, String, Channels };
    Kind kind = Kind::Word;
    std::string text;     // Word: upper-cased; String: the contents, quotes undone
    double number = 0.0;  // Number, in volts or seconds when a unit followed it
    char unit = 0;        // Number: 'V' or 'S' when a unit followed it
    // Channels: "(@1,3:4)" as {1, 1}, {3, 4}, in the order typed (a span may
    // run down: 4:1).
    std::vector<std::pair<int, int>> channels;
};

struct Command {
    bool common = false;             // '*' header
    // Upper-cased mnemonics, after the path rule; empty when that path is
    // deeper than kMaxDepth (no command lies so deep).
    std::vector<std::string> nodes;
    std::vector<std::string> typed;  // the same as typed, from the root
    bool query = false;
    std::vector<Param> params;
    int error = kNoError;  // set when the command could not be parsed
    std::string info;
};

constexpr size_t kMaxDepth = 8;

// One line (no terminator), parsed a command at a time as it runs: time and
// memory stay linear in the line whatever its commands. A command that
// follows ';' without a leading ':' continues at the level of the command
// before it; that level is kept once, never copied per command.
class LineParser {
public:
    explicit LineParser(std::string line) : line_(std::move(line)) {}
    // The next command; false when the line holds no more.
    bool Next(Command& command);
    // Nothing but blanks and stray ';' left.
    bool AtEnd() const;
    // The last command was taken from the root: the next one continues at
    // its level rather than at the level its path would have given.
    void Reroot(const std::vector<std::string>& typed);

private:
    std::string line_;
    size_t pos_ = 0;
    std::vector<std::string> path_;  // the last command's path, from the root
    bool deep_ = false;              // it is deeper than kMaxDepth (and not kept)
};

// Every command of a line at once.
std::vector<Command> ParseLine(std::string_view line);

// A mnemonic as typed matches a node given as "MEASure": the short form (the
// capitals) or the long form, in any case.
bool Matches(std::string_view typed, std::string_view node);

// A header as typed against a header of the command tree: mnemonics separated
// by ':', optional ones in brackets ("MEASure[:VOLTage][:DC]"), '#' after one
// that takes a numeric suffix ("DAC#:CODE" matches "DAC2:CODE"). `suffix` gets
// the number typed after that mnemonic, or -1 when none was.
bool MatchHeader(std::string_view pattern, const std::vector<std::string>& typed, int& suffix);
// A mnemonic without the digits of its numeric suffix: "DAC" for "DAC2".
std::string_view WithoutSuffix(std::string_view typed);

}  // namespace scpi
