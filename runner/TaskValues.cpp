#include "runner/TaskValues.h"

#include "core/AsciiText.h"
#include "core/NumberText.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace kestrun {

bool ReadEnabled(const std::string& text)
{
    const std::string_view trimmed = Trim(text, " \t");
    if (EqualsIgnoringAsciiCase(trimmed, "false"))
        return false;
    double number = 0;
    const char* begin = trimmed.data();
    const char* end = begin + trimmed.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto [stop, error] = std::from_chars(begin, end, number);
    return !(error == std::errc() && stop == end && number == 0);
}

std::optional<std::uint32_t> WaitMilliseconds(const std::string& value)
{
    const double product = Val(value) * 1000.0;
    if (!std::isfinite(product))
        return std::nullopt;
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(product);
    std::fesetround(previous);
    if (rounded < 0 || rounded > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(rounded);
}

}  // namespace kestrun
