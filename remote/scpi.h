#pragma once
// SCPI program messages: one line split into commands at ';', each a header
// (long or short mnemonics, any case, ':'-separated, '*' for the common
// commands, '?' for a query) and parameters separated by ','. Decimal and
// #H/#Q/#B numbers, character data and quoted strings. Plain C++.
#include <cstdint>
#include <string>
#include <string_view>
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
    kInvalidCharacterInNumber = -121,
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
    enum class Kind { Number, Word, String };
    Kind kind = Kind::Word;
    std::string text;     // Word: upper-cased; String: the contents, quotes undone
    double number = 0.0;  // Number
};

struct Command {
    bool common = false;             // '*' header
    std::vector<std::string> nodes;  // upper-cased mnemonics, after the path rule
    std::vector<std::string> typed;  // the same as typed, from the root
    bool query = false;
    std::vector<Param> params;
    int error = kNoError;  // set when the command could not be parsed
    std::string info;
};

// Splits and parses one line (no terminator). A command that follows ';'
// without a leading ':' continues at the level of the command before it.
std::vector<Command> ParseLine(std::string_view line);

// A mnemonic as typed matches a node given as "MEASure": the short form (the
// capitals) or the long form, in any case.
bool Matches(std::string_view typed, std::string_view node);

}  // namespace scpi
