#include "document/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kestrun {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The leading part of the text that forms a number, blanks skipped.
std::string_view NumberPrefix(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    std::size_t i = start;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) { ++i; ++digits; }
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        std::size_t fraction = 0;
        while (j < text.size() && IsDigit(text[j])) { ++j; ++fraction; }
        if (digits + fraction > 0) { i = j; digits += fraction; }
    }
    if (digits == 0)
        return {};
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        std::size_t exponent = 0;
        while (j < text.size() && IsDigit(text[j])) { ++j; ++exponent; }
        if (exponent > 0)
            i = j;
    }
    return text.substr(start, i - start);
}

double ParsePrefix(std::string_view prefix)
{
    std::string s(prefix);
    for (char& c : s)
        if (c == 'd' || c == 'D')
            c = 'e';
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
    std::string_view prefix = NumberPrefix(text);
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
    std::string_view prefix = NumberPrefix(text);
    if (prefix.empty())
        return "0";
    double number = ParsePrefix(prefix);
    if (!std::isfinite(number))
        return std::string(prefix);
    return NumberToText(number);
}

}  // namespace kestrun
