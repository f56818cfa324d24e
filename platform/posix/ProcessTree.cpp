#include "platform/posix/ProcessTree.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

namespace kestrun {

namespace {

struct ProcessState {
    char state = '?';
    long parent = 0;
};

// Reads /proc/<id>/stat: "id (command) state parent ...". The command may
// hold spaces and parentheses, so the fields are taken after the last ')'.
std::optional<ProcessState> ReadState(const std::string& processId)
{
    std::ifstream file("/proc/" + processId + "/stat");
    std::string line;
    if (!std::getline(file, line))
        return std::nullopt;
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 4 > line.size())
        return std::nullopt;
    ProcessState result;
    result.state = line[close + 2];
    const char* begin = line.data() + close + 4;
    const char* end = line.data() + line.size();
    if (std::from_chars(begin, end, result.parent).ec != std::errc())
        return std::nullopt;
    return result;
}

bool Alive(const ProcessState& state) { return state.state != 'Z' && state.state != 'X' && state.state != 'x'; }

}  // namespace

bool ProcessRunning(long processId)
{
    if (processId <= 0)
        return false;
    const auto state = ReadState(std::to_string(processId));
    return state && Alive(*state);
}

std::vector<long> ProcessFamily(long processId)
{
    if (!ProcessRunning(processId))
        return {};
    std::multimap<long, long> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        long id = 0;
        if (std::from_chars(name.data(), name.data() + name.size(), id).ptr != name.data() + name.size())
            continue;
        if (const auto state = ReadState(name); state && Alive(*state))
            children.emplace(state->parent, id);
    }
    std::vector<long> family{processId};
    for (std::size_t next = 0; next < family.size(); ++next) {
        const auto [first, last] = children.equal_range(family[next]);
        // Each process has one parent, so only the first can come again, from
        // a table read while processes came and went.
        for (auto child = first; child != last; ++child)
            if (child->second != processId)
                family.push_back(child->second);
    }
    return family;
}

}  // namespace kestrun
