#include "json.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace analysis::json {
namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    bool Document(Value& out, std::string& why)
    {
        if (s_.size() > kMaxText)
            return fail("longer than " + std::to_string(kMaxText) + " bytes", why);
        space();
        if (!value(out, 0))
            return fail(why_, why);
        space();
        if (at_ != s_.size())
            return fail("text after the end of the value", why);
        return true;
    }

private:
    bool fail(const std::string& what, std::string& why)
    {
        why = what + (at_ < s_.size() ? " (at byte " + std::to_string(at_ + 1) + ")" : " (at the end)");
        return false;
    }
    bool error(const char* what)
    {
        if (why_.empty())
            why_ = what;
        return false;
    }
    void space()
    {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
            ++at_;
    }
    bool literal(std::string_view word)
    {
        if (s_.substr(at_, word.size()) != word)
            return error("not a JSON value");
        at_ += word.size();
        return true;
    }

    bool value(Value& out, int depth)
    {
        if (depth > kMaxDepth)
            return error("nested too deep");
        if (at_ >= s_.size())
            return error("a value is missing");
        switch (s_[at_]) {
        case '{': return object(out, depth);
        case '[': return array(out, depth);
        case '"': out.kind = Value::Kind::String; return string(out.text);
        case 't': out.kind = Value::Kind::Bool; out.boolean = true; return literal("true");
        case 'f': out.kind = Value::Kind::Bool; out.boolean = false; return literal("false");
        case 'n': out.kind = Value::Kind::Null; return literal("null");
        default: out.kind = Value::Kind::Number; return number(out.number);
        }
    }

    bool object(Value& out, int depth)
    {
        out.kind = Value::Kind::Object;
        ++at_;
        space();
        if (at_ < s_.size() && s_[at_] == '}')
            return ++at_, true;
        while (true) {
            space();
            std::string key;
            if (at_ >= s_.size() || s_[at_] != '"' || !string(key))
                return error("an object's key must be a string");
            if (out.Find(key) != nullptr)
                return error("a key appears twice");
            space();
            if (at_ >= s_.size() || s_[at_] != ':')
                return error("':' expected after a key");
            ++at_;
            space();
            out.fields.emplace_back(std::move(key), Value{});
            if (!value(out.fields.back().second, depth + 1))
                return false;
            space();
            if (at_ < s_.size() && s_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < s_.size() && s_[at_] == '}')
                return ++at_, true;
            return error("',' or '}' expected in an object");
        }
    }

    bool array(Value& out, int depth)
    {
        out.kind = Value::Kind::Array;
        ++at_;
        space();
        if (at_ < s_.size() && s_[at_] == ']')
            return ++at_, true;
        while (true) {
            space();
            out.items.emplace_back();
            if (!value(out.items.back(), depth + 1))
                return false;
            space();
            if (at_ < s_.size() && s_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < s_.size() && s_[at_] == ']')
                return ++at_, true;
            return error("',' or ']' expected in an array");
        }
    }

    bool number(double& out)
    {
        // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
        const size_t start = at_;
        const auto digits = [&] {
            const size_t from = at_;
            while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9')
                ++at_;
            return at_ - from;
        };
        if (at_ < s_.size() && s_[at_] == '-')
            ++at_;
        const size_t whole = at_;
        if (digits() == 0 || (s_[whole] == '0' && at_ - whole > 1))
            return error("not a JSON value");
        if (at_ < s_.size() && s_[at_] == '.' && (++at_, digits() == 0))
            return error("a number's fraction has no digits");
        if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
            ++at_;
            if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-'))
                ++at_;
            if (digits() == 0)
                return error("a number's exponent has no digits");
        }
        const auto [end, ec] = std::from_chars(s_.data() + start, s_.data() + at_, out);
        if (ec != std::errc() || end != s_.data() + at_ || !std::isfinite(out))
            return error("a number out of range");
        return true;
    }

    bool hex4(uint32_t& unit)
    {
        if (at_ + 4 > s_.size())
            return error("a \\u escape needs four hex digits");
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[at_++];
            const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0)
                return error("a \\u escape needs four hex digits");
            unit = unit << 4 | static_cast<uint32_t>(d);
        }
        return true;
    }

    static void utf8(std::string& out, uint32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool string(std::string& out)
    {
        ++at_;  // the opening quote
        while (at_ < s_.size()) {
            const char c = s_[at_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return error("a control character inside a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size())
                break;
            const char e = s_[at_++];
            switch (e) {
            case '"': case '\\': case '/': out += e; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t unit = 0;
                if (!hex4(unit))
                    return false;
                if (unit >= 0xDC00 && unit <= 0xDFFF)
                    return error("a lone low surrogate");
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    uint32_t low = 0;
                    if (s_.substr(at_, 2) != "\\u" || (at_ += 2, !hex4(low)) || low < 0xDC00 || low > 0xDFFF)
                        return error("a high surrogate without its low one");
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                }
                utf8(out, unit);
                break;
            }
            default: return error("an unknown escape in a string");
            }
        }
        return error("a string without its closing quote");
    }

    std::string_view s_;
    size_t at_ = 0;
    std::string why_;
};

}  // namespace

const Value* Value::Find(std::string_view name) const
{
    if (kind != Kind::Object)
        return nullptr;
    for (const auto& [key, value] : fields)
        if (key == name)
            return &value;
    return nullptr;
}

bool Parse(std::string_view text, Value& out, std::string& why)
{
    out = Value{};
    return Parser(text).Document(out, why);
}

}  // namespace analysis::json
