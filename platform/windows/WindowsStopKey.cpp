#include "platform/windows/WindowsStopKey.h"

#include <windows.h>

#include <future>

namespace kestrun {

namespace {

constexpr UINT kCombinations = 8;  // every set of MOD_ALT, MOD_CONTROL and MOD_SHIFT

void HotKeyLoop(const std::function<void()>& pressed, std::promise<DWORD> started)
{
    // The thread's message queue exists once it has asked for a message.
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    UINT registered = 0;
    for (; registered < kCombinations; ++registered) {
        const UINT modifiers = (registered & 1 ? MOD_ALT : 0) | (registered & 2 ? MOD_CONTROL : 0) |
                               (registered & 4 ? MOD_SHIFT : 0);
        if (!RegisterHotKey(nullptr, static_cast<int>(registered) + 1, modifiers | MOD_NOREPEAT, VK_PAUSE))
            break;
    }
    // Without the key alone another application has it: nothing is taken.
    if (registered == 0) {
        started.set_value(0);
        return;
    }
    started.set_value(GetCurrentThreadId());
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_HOTKEY)
            pressed();
    }
    for (UINT id = 1; id <= registered; ++id)
        UnregisterHotKey(nullptr, static_cast<int>(id));
}

}  // namespace

WindowsStopKey::~WindowsStopKey() { Release(); }

bool WindowsStopKey::Hold(std::function<void()> pressed)
{
    if (thread_.joinable())
        return true;
    std::promise<DWORD> started;
    std::future<DWORD> threadId = started.get_future();
    // The promise goes with the thread, which may still be in set_value when
    // this thread has its answer and returns.
    thread_ = std::thread([started = std::move(started), pressed = std::move(pressed)]() mutable {
        HotKeyLoop(pressed, std::move(started));
    });
    threadId_ = threadId.get();
    if (threadId_ == 0) {
        thread_.join();
        return false;
    }
    return true;
}

void WindowsStopKey::Release()
{
    if (!thread_.joinable())
        return;
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    threadId_ = 0;
}

}  // namespace kestrun
