#include "platform/conversions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/runtime_error.h"

namespace tessarel {

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Length of the longest prefix of s that is a decimal number: [sign] digits [. digits]
// [E|D [sign] digits], with at least one digit in the mantissa. 0 when there is none.
size_t NumberPrefix(const std::string& s, size_t start) {
    size_t i = start;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        if (j < s.size() && IsDigit(s[j])) {
            while (j < s.size() && IsDigit(s[j])) {
                ++j;
            }
            i = j;
        }
    }
    return i - start;
}

double ParseNumber(std::string text) {
    for (char& c : text) {
        if (c == 'D' || c == 'd') {
            c = 'E';  // strtod knows only E for the exponent
        }
    }
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace

bool AllDigits(const std::string& text, size_t most) {
    if (text.empty() || text.size() > most) {
        return false;
    }
    for (const char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

std::string StrWithSign(int64_t value) {
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string RealWithSign(double value) {
    if (std::isfinite(value) && std::floor(value) == value && std::fabs(value) < 1e15) {
        return StrWithSign(static_cast<int64_t>(value));
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    const std::string text = buffer;  // glibc writes the exponent as E+20
    return value < 0 ? text : " " + text;
}

std::string PlainNumber(int64_t value) {
    return std::to_string(value);
}

double LeadingNumber(const std::string& text) {
    std::string compact;
    for (char c : text) {
        if (!IsBlank(c)) {
            compact += c;
        }
    }
    const size_t length = NumberPrefix(compact, 0);
    return length == 0 ? 0.0 : ParseNumber(compact.substr(0, length));
}

namespace {

// A whole text as a whole number within [low, high]: see TextToInt32.
int64_t TextToWhole(const std::string& text, double low, double high) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    const size_t length = NumberPrefix(text, begin);
    if (length == 0 || begin + length != end) {
        throw RuntimeError(kErrTypeMismatch);
    }
    const double value = ParseNumber(text.substr(begin, length));
    const double rounded = std::nearbyint(value);  // the default rounding: halves to even
    if (!(rounded >= low && rounded <= high)) {
        throw RuntimeError(kErrOverflow);
    }
    return static_cast<int64_t>(rounded);
}

}  // namespace

int32_t TextToInt32(const std::string& text) {
    return static_cast<int32_t>(TextToWhole(text, std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::max()));
}

int64_t TextToLength(const std::string& text) {
    // Every whole number up to 2^53 is exact in a double, far beyond ten digits.
    constexpr double kExact = 9007199254740992.0;
    return TextToWhole(text, -kExact, kExact);
}

}  // namespace tessarel
