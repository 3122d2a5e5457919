#include "scpi.h"

#include <cctype>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace scpi {
namespace {

bool IsAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool SameNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Where the part that begins at `from` ends: the next `sep` outside quoted
// strings (and, between parameters, outside a channel list's parentheses), or
// the end.
size_t PartEnd(std::string_view s, size_t from, char sep)
{
    char quote = 0;
    int depth = 0;
    for (size_t i = from; i < s.size(); ++i) {
        const char c = s[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;  // a doubled quote closes and reopens: same effect
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (sep == ',' && c == '(') {
            ++depth;
        } else if (sep == ',' && c == ')' && depth > 0) {
            --depth;
        } else if (c == sep && depth == 0) {
            return i;
        }
    }
    return s.size();
}

// Well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing past U+10FFFF.
bool IsUtf8(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        size_t more = 0;
        uint32_t code = lead;
        if (lead < 0x80)
            more = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            more = 1, code = lead & 0x1Fu;
        else if (lead >= 0xE0 && lead <= 0xEF)
            more = 2, code = lead & 0x0Fu;
        else if (lead >= 0xF0 && lead <= 0xF4)
            more = 3, code = lead & 0x07u;
        else
            return false;
        if (s.size() - i <= more)
            return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0u) != 0x80u)
                return false;
            code = code << 6 | (b & 0x3Fu);
        }
        if ((more == 2 && code < 0x800) || (more == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

bool Fail(Command& c, int error, std::string info = {})
{
    c.error = error;
    c.info = std::move(info);
    return false;
}

// The units a number may carry, with their SI prefixes (M is milli, as
// SCPI has it; U micro).
bool Unit(std::string_view text, char& unit, double& scale)
{
    static const struct {
        const char* name;
        char unit;
        double scale;
    } units[] = {
        {"V", 'V', 1.0},  {"MV", 'V', 1e-3}, {"UV", 'V', 1e-6}, {"NV", 'V', 1e-9}, {"KV", 'V', 1e3},
        {"S", 'S', 1.0},  {"MS", 'S', 1e-3}, {"US", 'S', 1e-6}, {"NS", 'S', 1e-9},
    };
    text = Trim(text);
    for (const auto& u : units)
        if (SameNoCase(text, u.name)) {
            unit = u.unit;
            scale = u.scale;
            return true;
        }
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
    if (t.size() > 255)
        return Fail(c, kInvalidCharacterInNumber);
    double scale = 1.0;
    if (i != t.size() && !Unit(t.substr(i), p.unit, scale))
        return Fail(c, kInvalidCharacterInNumber);
    p.number = std::strtod(std::string(t.substr(0, i)).c_str(), nullptr) * scale;
    if (!std::isfinite(p.number))
        return Fail(c, kDataOutOfRange);
    return true;
}

// "(@1)", "(@1,3)", "(@1:4)": channel numbers and spans. The spans stay as
// typed: the command checks them against its channels before it expands them.
bool ParseChannels(std::string_view t, Param& p, Command& c)
{
    p.kind = Param::Kind::Channels;
    auto bad = [&] { return Fail(c, kSyntaxError, "a channel list is (@1), (@1,3) or (@1:4)"); };
    if (t.size() < 4 || t[1] != '@' || t.back() != ')')
        return bad();
    std::string_view rest = t.substr(2, t.size() - 3);
    auto number = [&](int& n) {
        rest = Trim(rest);
        size_t k = 0;
        n = 0;
        while (k < rest.size() && IsDigit(rest[k]) && k < 4)
            n = n * 10 + (rest[k++] - '0');
        rest.remove_prefix(k);
        rest = Trim(rest);
        return k > 0 && (rest.empty() || !IsDigit(rest.front()));
    };
    for (;;) {
        int first = 0;
        int last = 0;
        if (!number(first))
            return bad();
        last = first;
        if (!rest.empty() && rest.front() == ':') {
            rest.remove_prefix(1);
            if (!number(last))
                return bad();
        }
        p.channels.emplace_back(first, last);
        if (rest.empty())
            return true;
        if (rest.front() != ',')
            return bad();
        rest.remove_prefix(1);
    }
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
        if (!IsUtf8(p.text))
            return Fail(c, kInvalidStringData, "not UTF-8");
        return true;
    }
    if (first == '#' || first == '+' || first == '-' || first == '.' || IsDigit(first))
        return ParseNumber(t, p, c);
    if (first == '(')
        return ParseChannels(t, p, c);
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

// Control characters anywhere, bytes beyond ASCII outside quoted strings.
bool ValidBytes(std::string_view text)
{
    char quote = 0;
    for (const char ch : text) {
        const auto u = static_cast<unsigned char>(ch);
        if ((u < 0x20 && ch != '\t') || u == 0x7F || (u >= 0x80 && quote == 0))
            return false;
        if (quote != 0) {
            if (ch == quote)
                quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
        }
    }
    return true;
}

// Parses one command. `path` holds the path of the command before it (unless
// `deep`), and is left holding this one's.
Command ParseCommand(std::string_view text, std::vector<std::string>& path, bool& deep)
{
    Command c;
    if (!ValidBytes(text)) {
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
        // The path continues below the level of the command before, unless
        // rooted; once too deep for any command it only grows, and is not kept.
        if (rooted) {
            path.clear();
            deep = false;
        } else if (!deep && !path.empty()) {
            path.pop_back();
        }
        deep = deep || path.size() + nodes.size() > kMaxDepth;
        if (deep)
            path.clear();
        else
            path.insert(path.end(), nodes.begin(), nodes.end());
        c.nodes = path;
        c.typed = std::move(nodes);
    }
    const std::string_view rest = Trim(t.substr(i));
    for (size_t from = 0; !rest.empty() && from <= rest.size();) {
        const size_t end = PartEnd(rest, from, ',');
        Param p;
        if (!ParseParam(rest.substr(from, end - from), p, c))
            return c;
        c.params.push_back(std::move(p));
        from = end + 1;
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
    case kHeaderSuffixOutOfRange: return "Header suffix out of range";
    case kInvalidCharacterInNumber: return "Invalid character in number";
    case kInvalidSuffix: return "Invalid suffix";
    case kSuffixNotAllowed: return "Suffix not allowed";
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

bool LineParser::Next(Command& command)
{
    while (pos_ < line_.size()) {
        const std::string_view line(line_);
        const size_t end = PartEnd(line, pos_, ';');
        const std::string_view text = line.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (!Trim(text).empty()) {  // a stray ';' is no command
            command = ParseCommand(text, path_, deep_);
            return true;
        }
    }
    return false;
}

void LineParser::Reroot(const std::vector<std::string>& typed)
{
    path_ = typed;
    deep_ = false;
}

bool LineParser::AtEnd() const
{
    // Stops at the first character of a command, so each stretch of
    // separators is looked at only a few times.
    for (size_t i = pos_; i < line_.size(); ++i)
        if (!IsBlank(line_[i]) && line_[i] != ';')
            return false;
    return true;
}

std::vector<Command> ParseLine(std::string_view line)
{
    std::vector<Command> commands;
    LineParser parser{std::string(line)};
    for (Command c; parser.Next(c);)
        commands.push_back(std::move(c));
    return commands;
}

bool Matches(std::string_view typed, std::string_view node)
{
    // The long form, or the capitals (and digits) of it; no copies, as every
    // command is looked up this way.
    if (SameNoCase(typed, node))
        return true;
    size_t k = 0;
    for (const char ch : node) {
        if (!std::isupper(static_cast<unsigned char>(ch)) && !IsDigit(ch))
            continue;
        if (k >= typed.size() || Upper(typed[k]) != ch)
            return false;
        ++k;
    }
    return k > 0 && k == typed.size();
}

std::string_view WithoutSuffix(std::string_view typed)
{
    while (!typed.empty() && IsDigit(typed.back()))
        typed.remove_suffix(1);
    return typed;
}

namespace {
struct PatternNode {
    std::string_view name;
    bool optional = false;
    bool numbered = false;
};

bool MatchFrom(const PatternNode* p, size_t np, const std::vector<std::string>& typed, size_t t, int& suffix)
{
    if (np == 0)
        return t == typed.size();
    if (t < typed.size()) {
        std::string_view node = typed[t];
        int number = -1;
        if (p->numbered && WithoutSuffix(node).size() < node.size()) {
            const std::string_view digits = node.substr(WithoutSuffix(node).size());
            number = 0;
            for (const char d : digits)
                number = std::min(number * 10 + (d - '0'), 1000000);
            node = WithoutSuffix(node);
        }
        if (Matches(node, p->name) && MatchFrom(p + 1, np - 1, typed, t + 1, suffix)) {
            if (number >= 0)
                suffix = number;
            return true;
        }
    }
    return p->optional && MatchFrom(p + 1, np - 1, typed, t, suffix);
}
}  // namespace

bool MatchHeader(std::string_view pattern, const std::vector<std::string>& typed, int& suffix)
{
    PatternNode nodes[kMaxDepth];
    size_t n = 0;
    for (size_t i = 0; i < pattern.size() && n < kMaxDepth;) {
        PatternNode& node = nodes[n++];
        if (pattern[i] == '[') {
            node.optional = true;
            ++i;
        }
        if (i < pattern.size() && pattern[i] == ':')
            ++i;
        const size_t start = i;
        while (i < pattern.size() && (IsAlpha(pattern[i]) || IsDigit(pattern[i])))
            ++i;
        node.name = pattern.substr(start, i - start);
        if (i < pattern.size() && pattern[i] == '#')
            node.numbered = true, ++i;
        if (i < pattern.size() && pattern[i] == ']')
            ++i;
    }
    suffix = -1;
    return MatchFrom(nodes, n, typed, 0, suffix);
}

}  // namespace scpi
