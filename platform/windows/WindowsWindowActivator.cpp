#include "platform/windows/WindowsWindowActivator.h"

#include "platform/PlatformError.h"
#include "platform/WindowWait.h"
#include "platform/windows/ProcessFamily.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace kestrun {

namespace {

struct WindowSearch {
    const std::vector<std::uint32_t>* family = nullptr;
    HWND found = nullptr;
    std::size_t rank = 0;  // the place of the found window's process in the family
};

bool IsMainWindow(HWND window)
{
    return IsWindowVisible(window) && !GetWindow(window, GW_OWNER);
}

// EnumWindows goes through the windows top first; the window of the process
// nearest the started one wins, the topmost of it when it has several.
BOOL CALLBACK LookAtWindow(HWND window, LPARAM context)
{
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    if (!IsMainWindow(window))
        return TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const auto& family = *search.family;
    const auto at = std::find(family.begin(), family.end(), process);
    if (at == family.end())
        return TRUE;
    const auto rank = static_cast<std::size_t>(at - family.begin());
    if (!search.found || rank < search.rank) {
        search.found = window;
        search.rank = rank;
    }
    return rank == 0 ? FALSE : TRUE;
}

HWND FindProgramWindow(const std::vector<std::uint32_t>& family)
{
    WindowSearch search;
    search.family = &family;
    EnumWindows(LookAtWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The foreground changes at once, but the window's thread takes its
// activation (and puts its focus on a control) only when it reads its
// messages; keys that come before would find no control. A moment at most.
void AwaitActivation(HWND window)
{
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    for (int look = 0; look < 100; ++look) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(thread, &info) && info.hwndActive == window && info.hwndFocus)
            return;
        Sleep(10);
    }
}

bool TakeForeground(HWND window)
{
    if (SetForegroundWindow(window) && GetForegroundWindow() == window)
        return true;

    // Refused by the foreground lock: act for a moment as part of the
    // foreground thread, which may hand the foreground on.
    const DWORD self = GetCurrentThreadId();
    const HWND foreground = GetForegroundWindow();
    const DWORD owner = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const bool attached = owner && owner != self && AttachThreadInput(self, owner, TRUE);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    if (attached)
        AttachThreadInput(self, owner, FALSE);
    return GetForegroundWindow() == window;
}

bool BringForward(HWND window)
{
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    if (!TakeForeground(window))
        return false;
    AwaitActivation(window);
    return true;
}

}  // namespace

WindowsWindowActivator::WindowsWindowActivator(std::function<bool()> stopRequested)
    : stopRequested_(std::move(stopRequested))
{
}

void WindowsWindowActivator::Activate(std::int32_t taskId)
{
    if (taskId <= 0)
        throw PlatformError("There is no program to bring to the front.");
    const HWND window = FindProgramWindow(ProcessFamily(static_cast<std::uint32_t>(taskId)));
    if (!window)
        throw PlatformError("The program (process " + std::to_string(taskId) + ") has no window.");
    if (!BringForward(window))
        throw PlatformError("Windows did not let Kestrun bring the program's window to the front.");
}

bool WindowsWindowActivator::WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit)
{
    if (taskId <= 0)
        return false;
    const auto look = [taskId] {
        const auto family = ProcessFamily(static_cast<std::uint32_t>(taskId));
        if (family.empty())
            return WindowLook::Ended;
        return FindProgramWindow(family) ? WindowLook::Found : WindowLook::Pending;
    };
    return WaitForWindowWith(look, limit, [this] { return stopRequested_ && stopRequested_(); });
}

std::uint64_t WindowsWindowActivator::ActiveWindowId()
{
    return reinterpret_cast<std::uintptr_t>(GetForegroundWindow());
}

}  // namespace kestrun
