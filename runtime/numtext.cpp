#include "numtext.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// Walks a text while skipping the blanks the leading-number rule ignores.
class NonBlank {
public:
    explicit NonBlank(std::string_view text) : text_(text) { skip(); }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    void next()
    {
        ++pos_;
        skip();
    }

private:
    void skip()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n'))
            ++pos_;
    }
    std::string_view text_;
    size_t pos_ = 0;
};

constexpr int kExponentLimit = 100000;  // far beyond the double range either way

}  // namespace

std::optional<int32_t> HexToLong(std::string_view text)
{
    if (text.empty())
        return std::nullopt;

    uint32_t value = 0;
    int significant = 0;
    for (char c : text) {
        const int d = DigitValue(c);
        if (d < 0)
            return std::nullopt;
        if (significant == 0 && d == 0)
            continue;
        if (++significant > 8)
            return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(value);
}

double Val(std::string_view text)
{
    NonBlank in(text);
    // The number is copied without blanks into a plain form that from_chars
    // reads: [-]digits[.digits][e[-]digits].
    std::string number;
    bool negative = false;
    if (in.peek() == '+' || in.peek() == '-') {
        negative = in.peek() == '-';
        in.next();
    }
    if (negative)
        number += '-';

    int intSignificant = 0;   // integer digits after the leading zeros
    int fracLeadingZeros = 0; // zeros after the point before the first other digit
    bool anyDigit = false;
    bool anyNonZero = false;
    for (; IsDecimalDigit(in.peek()); in.next()) {
        anyDigit = true;
        anyNonZero = anyNonZero || in.peek() != '0';
        if (anyNonZero)
            ++intSignificant;
        number += in.peek();
    }
    if (in.peek() == '.') {
        in.next();
        number += '.';
        for (; IsDecimalDigit(in.peek()); in.next()) {
            anyDigit = true;
            if (!anyNonZero && in.peek() == '0')
                ++fracLeadingZeros;
            anyNonZero = anyNonZero || in.peek() != '0';
            number += in.peek();
        }
    }
    if (!anyDigit)
        return 0;

    long exponent = 0;
    const char marker = in.peek();
    if (marker == 'e' || marker == 'E' || marker == 'd' || marker == 'D') {
        NonBlank afterMantissa = in;
        in.next();
        bool expNegative = false;
        if (in.peek() == '+' || in.peek() == '-') {
            expNegative = in.peek() == '-';
            in.next();
        }
        if (IsDecimalDigit(in.peek())) {
            for (; IsDecimalDigit(in.peek()); in.next()) {
                if (exponent < kExponentLimit)
                    exponent = exponent * 10 + (in.peek() - '0');
            }
            if (expNegative)
                exponent = -exponent;
            number += 'e';
            number += std::to_string(exponent);
        } else {
            in = afterMantissa;  // "1e" is just 1
        }
    }

    double result = 0;
    const char* first = number.data();
    const auto [ptr, ec] = std::from_chars(first, first + number.size(), result);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Decimal exponent of the leading significant digit decides the side.
        const long leading = intSignificant > 0 ? exponent + intSignificant : exponent - fracLeadingZeros;
        const double magnitude = leading > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        return negative ? -magnitude : magnitude;
    }
    if (ec != std::errc())
        return 0;
    return result;
}

std::optional<int32_t> RoundToLong(double v)
{
    if (!std::isfinite(v))
        return std::nullopt;
    const double below = std::floor(v);
    const double fraction = v - below;  // exact for every finite double
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1;
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

int32_t RoundHalfEvenDiv(int32_t a, int32_t b)
{
    if (b <= 0)
        return 0;
    int64_t q = a / b;
    int64_t r = a % b;
    if (r < 0) {  // floor division
        r += b;
        --q;
    }
    if (2 * r > b || (2 * r == b && (q & 1) != 0))
        ++q;
    return static_cast<int32_t>(q);
}

std::string HexDigits(int32_t v)
{
    char buf[8];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<uint32_t>(v), 16);
    (void)ec;
    for (char* p = buf; p != end; ++p) {
        if (*p >= 'a' && *p <= 'f')
            *p = static_cast<char>(*p - 'a' + 'A');
    }
    return std::string(buf, end);
}

namespace {
const char* NonFiniteText(float v, bool spaceForPositive)
{
    if (std::isnan(v))
        return spaceForPositive ? " nan" : "nan";
    if (v < 0)
        return "-inf";
    return spaceForPositive ? " inf" : "inf";
}
}  // namespace

std::string FormatVolts4(float v)
{
    if (!std::isfinite(v))
        return NonFiniteText(v, false);
    char buf[64];  // the largest float has 39 integer digits
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
    (void)ec;
    const char* begin = buf;
    if (*begin == '-') {
        bool allZero = true;
        for (const char* p = begin + 1; p != end; ++p)
            allZero = allZero && (*p == '0' || *p == '.');
        if (allZero)
            ++begin;
    }
    return std::string(begin, static_cast<const char*>(end));
}
