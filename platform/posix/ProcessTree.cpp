#include "platform/posix/ProcessTree.h"

#include "platform/posix/ProcStat.h"

#include <charconv>
#include <filesystem>
#include <map>
#include <string>

namespace kestrun {

namespace {

bool Alive(const ProcStat& state) { return state.state != 'Z' && state.state != 'X' && state.state != 'x'; }

}  // namespace

bool ProcessRunning(long processId)
{
    if (processId <= 0)
        return false;
    const auto state = ReadProcStat(processId);
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
        if (const auto state = ReadProcStat(id); state && Alive(*state))
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
