#include "platform/windows/WindowsKeySender.h"

#include "platform/PlatformError.h"
#include "platform/windows/StrokeInputs.h"
#include "platform/windows/WideText.h"

namespace kestrun {

namespace {

// Keys between two looks at whether the window has read what came before,
// so that a long text never floods its input queue.
constexpr std::size_t kStrokesBetweenSettles = 64;

unsigned SystemInject(const std::vector<INPUT>& inputs)
{
    return SendInput(static_cast<UINT>(inputs.size()), const_cast<INPUT*>(inputs.data()), sizeof(INPUT));
}

std::string WindowTitle(HWND window)
{
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return Utf8FromWide(title);
}

HKL LayoutOf(HWND window)
{
    return GetKeyboardLayout(window ? GetWindowThreadProcessId(window, nullptr) : 0);
}

}  // namespace

WindowsKeySender::WindowsKeySender(std::function<bool()> stopTyping, Injector inject)
    : stopTyping_(std::move(stopTyping)), inject_(inject ? std::move(inject) : Injector(SystemInject))
{
}

void WindowsKeySender::SendKeys(const std::vector<KeyStroke>& strokes, bool wait)
{
    const HWND target = GetForegroundWindow();
    const HKL layout = LayoutOf(target);
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        if (stopTyping_ && stopTyping_())
            throw PlatformError("Typing was stopped.");
        if (target && GetForegroundWindow() != target)
            throw FocusLostError(WindowTitle(target));
        const std::vector<INPUT> inputs = StrokeInputs(strokes[i], layout);
        const unsigned sent = inject_(inputs);
        if (sent != inputs.size()) {
            const DWORD error = GetLastError();
            const std::vector<INPUT> releases = ReleasesAfter(inputs, sent);
            if (!releases.empty())
                inject_(releases);
            throw PlatformError("Windows refused the keys: " + Win32ErrorText(error) + ".");
        }
        if ((i + 1) % kStrokesBetweenSettles == 0)
            Settle();
    }
    if (wait)
        Settle();
}

// SendInput only queues the keys, and Windows tells another process little
// of how far a program has read them: the program counts as idle once its
// thread waits for input with none pending, and a message sent to its window
// returns once that thread is back in its message loop. Both, with a limit,
// so that a busy or hung program is not waited for long.
void WindowsKeySender::Settle() const
{
    const HWND window = GetForegroundWindow();
    DWORD processId = 0;
    if (!window || !GetWindowThreadProcessId(window, &processId) || processId == GetCurrentProcessId())
        return;
    if (const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)) {
        WaitForInputIdle(process, 5000);
        CloseHandle(process);
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

}  // namespace kestrun
