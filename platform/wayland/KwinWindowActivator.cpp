#include "platform/wayland/KwinWindowActivator.h"

#include "platform/PlatformError.h"
#include "platform/WindowWait.h"
#include "platform/posix/ProcessTree.h"
#include "platform/wayland/KwinScript.h"

#include <string>

namespace kestrun {

namespace {

constexpr auto kPatience = std::chrono::seconds(5);

// The script's list of the family's process ids, each formatted here.
std::string PidList(const std::vector<long>& family)
{
    std::string list = "[";
    for (long pid : family)
        list += (list.size() > 1 ? "," : "") + std::to_string(pid);
    return list + "]";
}

// A script that looks for a normal window of the first process of the family
// that has one, activates it when asked, and reports "found" or "none".
std::string WindowScript(const std::vector<long>& family, bool activate)
{
    return "const pids = " + PidList(family) + ";\n"
           "const clients = workspace.clientList();\n"
           "for (const pid of pids) {\n"
           "  for (const c of clients) {\n"
           "    if (c.pid === pid && c.normalWindow) {\n" +
           (activate ? "      workspace.activeClient = c;\n" : "") +
           "      report(workspace.activeClient === c || " + (activate ? "false" : "true") + " ? 'found' : 'inactive');\n"
           "      return;\n"
           "    }\n"
           "  }\n"
           "}\n"
           "report('none');\n";
}

}  // namespace

void KwinWindowActivator::Activate(std::int32_t taskId)
{
    if (taskId <= 0)
        throw PlatformError("No program was started.");
    const std::vector<long> family = ProcessFamily(taskId);
    if (family.empty())
        throw PlatformError("The program has ended.");
    const std::optional<std::string> answer = KwinScript::Run(WindowScript(family, true), kPatience);
    if (!answer)
        throw PlatformError("KWin's scripting does not answer.");
    if (*answer == "none")
        throw PlatformError("The program has no window.");
    if (*answer != "found")
        throw PlatformError("KWin did not activate the program's window.");
}

bool KwinWindowActivator::WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit)
{
    if (taskId <= 0)
        return false;
    const auto look = [taskId] {
        const std::vector<long> family = ProcessFamily(taskId);
        if (family.empty())
            return WindowLook::Ended;
        const std::optional<std::string> answer = KwinScript::Run(WindowScript(family, false), kPatience);
        return answer && *answer == "found" ? WindowLook::Found : WindowLook::Pending;
    };
    return WaitForWindowWith(look, limit, [this] { return stopRequested_ && stopRequested_(); });
}

}  // namespace kestrun
