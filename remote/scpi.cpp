#include "scpi.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace scpi {
namespace {

bool IsAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits at `sep` outside quoted strings.
std::vector<std::string_view> Split(std::string_view s, char sep)
{
    std::vector<std::string_view> parts;
    char quote = 0;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;  // a doubled quote closes and reopens: same effect
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

bool Fail(Command& c, int error, std::string info = {})
{
    c.error = error;
    c.info = std::move(info);
    return false;
}

bool ParseNumber(std::string_view t, Param& p, Command& c)
{
    p.kind = Param::Kind::Number;
    if (t.size() >= 2 && t[0] == '#') {
        const char base = Upper(t[1]);
        const int radix = base == 'H' ? 16 : base == 'Q' ? 8 : base == 'B' ? 2 : 0;
        if (radix == 0 || t.size() == 2 || t.size() > 2 + 64)
            return Fail(c, kInvalidCharacterInNumber);
        double v = 0;
        for (const char ch : t.substr(2)) {
            const int d = IsDigit(ch) ? ch - '0' : IsAlpha(ch) ? Upper(ch) - 'A' + 10 : 99;
            if (d >= radix)
                return Fail(c, kInvalidCharacterInNumber);
            v = v * radix + d;
        }
        p.number = v;
        return true;
    }
    // Decimal: sign, digits, point, digits, exponent; nothing after it.
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < t.size() && IsDigit(t[i]))
        ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return Fail(c, kInvalidCharacterInNumber);
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        size_t exp = 0;
        while (i < t.size() && IsDigit(t[i]))
            ++i, ++exp;
        if (exp == 0)
            return Fail(c, kInvalidCharacterInNumber);
    }
    if (i != t.size() || t.size() > 255)
        return Fail(c, kInvalidCharacterInNumber);
    p.number = std::strtod(std::string(t).c_str(), nullptr);
    if (!std::isfinite(p.number))
        return Fail(c, kDataOutOfRange);
    return true;
}

bool ParseParam(std::string_view raw, Param& p, Command& c)
{
    const std::string_view t = Trim(raw);
    if (t.empty())
        return Fail(c, kMissingParameter);
    const char first = t.front();
    if (first == '"' || first == '\'') {
        p.kind = Param::Kind::String;
        size_t i = 1;
        for (; i < t.size(); ++i) {
            if (t[i] == first) {
                if (i + 1 < t.size() && t[i + 1] == first) {
                    p.text += first;
                    ++i;
                    continue;
                }
                break;
            }
            p.text += t[i];
        }
        if (i + 1 != t.size())
            return Fail(c, kInvalidStringData);
        return true;
    }
    if (first == '#' || first == '+' || first == '-' || first == '.' || IsDigit(first))
        return ParseNumber(t, p, c);
    if (IsAlpha(first)) {
        p.kind = Param::Kind::Word;
        for (const char ch : t) {
            if (!IsAlpha(ch) && !IsDigit(ch) && ch != '_')
                return Fail(c, kInvalidCharacter);
            p.text += Upper(ch);
        }
        if (p.text.size() > 12)
            return Fail(c, kMnemonicTooLong);
        return true;
    }
    return Fail(c, kInvalidCharacter);
}

// Parses one command; `context` holds the path of the command before it.
Command ParseCommand(std::string_view text, std::vector<std::string>& context)
{
    Command c;
    for (const char ch : text)
        if ((static_cast<unsigned char>(ch) < 0x20 && ch != '\t') || static_cast<unsigned char>(ch) >= 0x7F) {
            Fail(c, kInvalidCharacter);
            return c;
        }
    std::string_view t = Trim(text);
    size_t i = 0;
    std::vector<std::string> nodes;
    bool rooted = false;
    if (i < t.size() && t[i] == '*') {
        c.common = true;
        ++i;
    } else if (i < t.size() && t[i] == ':') {
        rooted = true;
        ++i;
    }
    for (;;) {
        std::string node;
        while (i < t.size() && (IsAlpha(t[i]) || IsDigit(t[i]) || t[i] == '_'))
            node += Upper(t[i++]);
        if (node.empty() || !IsAlpha(node.front())) {
            Fail(c, t.empty() ? kCommandError : kSyntaxError, t.empty() ? "empty command" : "");
            return c;
        }
        if (node.size() > 12) {
            Fail(c, kMnemonicTooLong);
            return c;
        }
        nodes.push_back(std::move(node));
        if (i < t.size() && t[i] == ':' && !c.common) {
            ++i;
            continue;
        }
        break;
    }
    if (i < t.size() && t[i] == '?') {
        c.query = true;
        ++i;
    }
    if (i < t.size() && !IsBlank(t[i])) {
        Fail(c, kHeaderSeparatorError);
        return c;
    }
    if (c.common) {
        c.nodes = std::move(nodes);
    } else {
        c.typed = nodes;
        if (!rooted && !context.empty())
            nodes.insert(nodes.begin(), context.begin(), context.end() - 1);
        c.nodes = nodes;
        context = std::move(nodes);
    }
    const std::string_view rest = Trim(t.substr(i));
    if (!rest.empty())
        for (const std::string_view raw : Split(rest, ',')) {
            Param p;
            if (!ParseParam(raw, p, c))
                return c;
            c.params.push_back(std::move(p));
        }
    return c;
}

}  // namespace

const char* ErrorText(int code)
{
    switch (code) {
    case kNoError: return "No error";
    case kCommandError: return "Command error";
    case kInvalidCharacter: return "Invalid character";
    case kSyntaxError: return "Syntax error";
    case kDataTypeError: return "Data type error";
    case kParameterNotAllowed: return "Parameter not allowed";
    case kMissingParameter: return "Missing parameter";
    case kHeaderSeparatorError: return "Header separator error";
    case kMnemonicTooLong: return "Program mnemonic too long";
    case kUndefinedHeader: return "Undefined header";
    case kInvalidCharacterInNumber: return "Invalid character in number";
    case kInvalidStringData: return "Invalid string data";
    case kExecutionError: return "Execution error";
    case kSettingsConflict: return "Settings conflict";
    case kDataOutOfRange: return "Data out of range";
    case kTooMuchData: return "Too much data";
    case kIllegalParameterValue: return "Illegal parameter value";
    case kHardwareError: return "Hardware error";
    case kHardwareMissing: return "Hardware missing";
    case kFileNameError: return "File name error";
    case kDeviceError: return "Device-specific error";
    case kSelfTestFailed: return "Self-test failed";
    case kQueueOverflow: return "Queue overflow";
    case kQueryInterrupted: return "Query INTERRUPTED";
    default: return "Error";
    }
}

std::string ErrorLine(int code, std::string_view info)
{
    std::string text = ErrorText(code);
    if (!info.empty()) {
        text += ';';
        for (const char ch : info)
            text += ch == '"' ? '\'' : ch;  // the answer is one quoted string
    }
    return std::to_string(code) + ",\"" + text + "\"";
}

std::vector<Command> ParseLine(std::string_view line)
{
    std::vector<Command> commands;
    std::vector<std::string> context;
    if (Trim(line).empty())
        return commands;
    for (const std::string_view text : Split(line, ';'))
        if (!Trim(text).empty())  // a stray ';' is no command
            commands.push_back(ParseCommand(text, context));
    return commands;
}

bool Matches(std::string_view typed, std::string_view node)
{
    std::string shortForm;
    for (const char ch : node)
        if (std::isupper(static_cast<unsigned char>(ch)) || IsDigit(ch))
            shortForm += ch;
    auto same = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (Upper(a[i]) != Upper(b[i]))
                return false;
        return true;
    };
    return same(typed, shortForm) || same(typed, node);
}

}  // namespace scpi
