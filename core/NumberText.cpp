#include "core/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kestrun {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// The characters of the number at the start of the text, read the classic way:
// blanks are ignored wherever they stand, and the first character that cannot
// continue the number ends it. Empty when the text starts with no number.
std::string NumberPrefix(std::string_view text)
{
    std::string number;
    std::size_t digits = 0;
    bool point = false;
    std::size_t i = 0;
    auto skipBlanks = [&] { while (i < text.size() && IsBlank(text[i])) ++i; };

    skipBlanks();
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        number += text[i++];
    for (;; ++i) {
        skipBlanks();
        if (i >= text.size())
            break;
        if (IsDigit(text[i])) {
            number += text[i];
            ++digits;
        } else if (text[i] == '.' && !point) {
            number += '.';
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return {};
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::string exponent = "E";
        std::size_t j = i + 1;
        auto skip = [&] { while (j < text.size() && IsBlank(text[j])) ++j; };
        skip();
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            exponent += text[j++];
        std::size_t exponentDigits = 0;
        for (;; ++j) {
            skip();
            if (j >= text.size() || !IsDigit(text[j]))
                break;
            exponent += text[j];
            ++exponentDigits;
        }
        if (exponentDigits > 0)
            number += exponent;
    }
    return number;
}

double ParsePrefix(std::string s)
{
    if (!s.empty() && s.front() == '+')
        s.erase(0, 1);
    double value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec == std::errc::result_out_of_range)
        return std::strtod(s.c_str(), nullptr);  // gives ±HUGE_VAL or a tiny number
    (void)end;
    return value;
}

}  // namespace

double Val(std::string_view text)
{
    std::string prefix = NumberPrefix(text);
    if (prefix.empty())
        return 0;
    return ParsePrefix(prefix);
}

std::string NumberToText(double number)
{
    if (number == 0)
        return "0";  // also for -0
    char buffer[64];
    if (std::nearbyint(number) == number && std::fabs(number) < 1e15) {
        std::snprintf(buffer, sizeof buffer, "%.0f", number);
        return buffer;
    }
    // Shortest text that reads back as the same number.
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*G", precision, number);
        if (std::strtod(buffer, nullptr) == number)
            break;
    }
    return buffer;
}

std::string WaitValueText(std::string_view text)
{
    std::string prefix = NumberPrefix(text);
    if (prefix.empty())
        return "0";
    double number = ParsePrefix(prefix);
    if (!std::isfinite(number))
        return prefix;
    return NumberToText(number);
}

}  // namespace kestrun
