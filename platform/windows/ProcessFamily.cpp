#include "platform/windows/ProcessFamily.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <utility>

namespace kestrun {

std::vector<std::uint32_t> ProcessFamily(std::uint32_t root)
{
    std::vector<std::pair<DWORD, DWORD>> links;  // (process, parent)
    bool rootRuns = false;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            if (entry.th32ProcessID == root)
                rootRuns = true;
            else
                links.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
        }
        CloseHandle(snapshot);
    }

    // A parent's number may have been reused by a later process; the family
    // follows only links whose child is not the root itself, so it ends.
    std::vector<std::uint32_t> family{root};
    for (std::size_t i = 0; i < family.size(); ++i) {
        for (const auto& [process, parent] : links) {
            if (parent == family[i] && std::find(family.begin(), family.end(), process) == family.end())
                family.push_back(process);
        }
    }
    if (!rootRuns)
        family.erase(family.begin());
    return family;
}

}  // namespace kestrun
