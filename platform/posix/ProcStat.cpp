#include "platform/posix/ProcStat.h"

#include "core/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string_view>
#include <vector>

namespace kestrun {

namespace {

template <typename Number>
std::optional<Number> ReadNumber(std::string_view word)
{
    Number value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || error != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<ProcStat> ParseProcStat(const std::string& line)
{
    // The command may hold spaces and parentheses, so the fields are taken
    // after the last ')'.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    const auto fields = Words(std::string_view(line).substr(close + 1));
    constexpr std::size_t kParent = 1;      // field 4, counted from the state (field 3)
    constexpr std::size_t kStartTime = 19;  // field 22
    if (fields.size() <= kStartTime || fields[0].size() != 1)
        return std::nullopt;
    const auto parent = ReadNumber<long>(fields[kParent]);
    const auto started = ReadNumber<unsigned long long>(fields[kStartTime]);
    if (!parent || !started)
        return std::nullopt;
    return ProcStat{fields[0][0], *parent, *started};
}

std::optional<ProcStat> ReadProcStat(long processId)
{
    std::ifstream file("/proc/" + std::to_string(processId) + "/stat");
    std::string line;
    if (!std::getline(file, line))
        return std::nullopt;
    return ParseProcStat(line);
}

}  // namespace kestrun
