// Typing, activation and the window wait on wine's desktop, into windows of
// other processes: what a run does to a started program.
#include "keys/KeyNotation.h"
#include "platform/PlatformError.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsKeySender.h"
#include "platform/windows/WindowsProgramStarter.h"
#include "platform/windows/WindowsStopKey.h"
#include "platform/windows/WindowsWindowActivator.h"
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

namespace kestrun {
namespace {

using namespace std::chrono_literals;
using test::PollUntil;
using test::TestProgram;

class Desktop : public ::testing::Test {
protected:
    // An edit window of a process of its own, started as a run starts one.
    std::uint32_t StartEditWindow(const std::vector<std::wstring>& arguments = {})
    {
        const std::uint32_t process = test::StartProgram(TestProgram("edit_window.exe"), arguments);
        EXPECT_NE(process, 0u);
        reaper.processes.push_back(process);
        return process;
    }

    // Activated, with the keyboard focus in its EDIT control. The program
    // brings its window forward itself once it shows it: that is waited for
    // first, so that it cannot take the foreground back afterwards.
    HWND ActivatedWindow(std::uint32_t process)
    {
        EXPECT_TRUE(windows.WaitForWindow(static_cast<std::int32_t>(process), 30s));
        const HWND window = test::WindowOfProcess(process);
        EXPECT_TRUE(PollUntil([&] { return HasEditFocus(window); })) << "the program never took the focus";
        windows.Activate(static_cast<std::int32_t>(process));
        EXPECT_TRUE(HeldForeground(window));
        return window;
    }

    static bool HeldForeground(HWND window)
    {
        int held = 0;
        return PollUntil([&] {
            held = GetForegroundWindow() == window && HasEditFocus(window) ? held + 1 : 0;
            return held >= 6;
        });
    }

    static bool HasEditFocus(HWND window)
    {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return window && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
               info.hwndFocus == FindWindowExW(window, nullptr, L"Edit", nullptr);
    }

    void Type(const std::string& notation)
    {
        const KeySequence sequence = ParseKeySequence(notation);
        ASSERT_TRUE(sequence.ok()) << sequence.error;
        keys.SendKeys(sequence.strokes, true);
    }

    test::ProcessReaper reaper;
    WindowsWindowActivator windows;
    WindowsKeySender keys;
};

TEST_F(Desktop, TypesAMixedTextIntoAnotherProgramsWindowExactly)
{
    const HWND window = ActivatedWindow(StartEditWindow());
    ASSERT_NE(window, nullptr);
    Type("Zoë Ångström naïve café{ENTER}"
         "Ωμέγα αβγ ΣΦΨ{ENTER}"
         "Жизнь щука ЁЖ{ENTER}"
         "日本語 中文 한국어{ENTER}"
         "😀 𝄞 𠀋 end{ENTER}"
         "ab{BS}c +(xy) 1+1 {{}{%}{~}{TAB}.");
    const std::string expected = "Zoë Ångström naïve café\n"
                                 "Ωμέγα αβγ ΣΦΨ\n"
                                 "Жизнь щука ЁЖ\n"
                                 "日本語 中文 한국어\n"
                                 "😀 𝄞 𠀋 end\n"
                                 "ac XY 1! {%~\t.";
    std::string received;
    EXPECT_TRUE(PollUntil([&] { return (received = test::EditText(window)) == expected; }))
        << "received: " << received;
}

// 2,000 characters, a quarter of them outside Latin-1, in one call: the
// window's input queue must take them all, in order.
TEST_F(Desktop, TypesALongTextWithoutLosingAKey)
{
    const HWND window = ActivatedWindow(StartEditWindow());
    const std::string pattern = "Kestrun types ä, Ω, ж and 日 ";  // 29 characters, 4 outside ASCII
    std::string text;
    while (text.size() < 2400)
        text += pattern;
    std::string expected;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size() && characters < 2000; ++characters) {
        const std::size_t start = i;
        do
            ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80);
        expected += text.substr(start, i - start);
    }
    const auto start = std::chrono::steady_clock::now();
    Type(expected);
    const double sending = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string received;
    EXPECT_TRUE(PollUntil([&] { return (received = test::EditText(window)) == expected; }, 120s))
        << "received " << received.size() << " of " << expected.size() << " bytes";
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("typed %zu characters: sent in %.2f s, all read by the window after %.2f s (%.0f a second)\n",
                characters, sending, seconds, characters / seconds);
}

TEST_F(Desktop, BringsTheStartedProgramsWindowForward)
{
    const std::uint32_t first = StartEditWindow({L"--title", L"first"});
    const HWND firstWindow = ActivatedWindow(first);
    const std::uint32_t second = StartEditWindow({L"--title", L"second"});
    const HWND secondWindow = ActivatedWindow(second);
    ASSERT_NE(firstWindow, secondWindow);

    // Once Activate returns, the window's thread has taken the activation
    // and put its focus on the control.
    windows.Activate(static_cast<std::int32_t>(first));
    EXPECT_TRUE(HasEditFocus(firstWindow));
    EXPECT_EQ(windows.ActiveWindowId(), reinterpret_cast<std::uintptr_t>(firstWindow));
    // Wine may still act on a late focus event of the X server's, without a
    // window manager: typing waits until the activation has held a moment.
    ASSERT_TRUE(HeldForeground(firstWindow));
    Type("to the first");
    EXPECT_TRUE(PollUntil([&] { return test::EditText(firstWindow) == "to the first"; }))
        << "first: " << test::EditText(firstWindow) << ", second: " << test::EditText(secondWindow);
    EXPECT_EQ(test::EditText(secondWindow), "");
}

TEST_F(Desktop, FindsTheWindowOfAProcessTheProgramStarted)
{
    const std::uint32_t launcher = StartEditWindow({L"--child", L"--title", L"grandchild"});
    const HWND window = ActivatedWindow(launcher);
    ASSERT_NE(window, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    EXPECT_NE(owner, launcher) << "the window should be the child's";
}

TEST_F(Desktop, WaitsForALateWindowAndNotForAProgramThatEnded)
{
    const std::uint32_t late = StartEditWindow({L"--delay", L"1500"});
    EXPECT_TRUE(windows.WaitForWindow(static_cast<std::int32_t>(late), 30s));

    test::WindowsTempFolder folder;
    SetEnvironmentVariableW(L"KESTRUN_ARGUMENTS_FILE", (folder.path() / "ended.txt").c_str());
    const std::uint32_t ended = test::StartProgram(TestProgram("show_arguments.exe"));
    ASSERT_TRUE(PollUntil([&] { return std::filesystem::exists(folder.path() / "ended.txt"); }));
    // Within the limit: an ended program answers at once, not after 30 s.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(windows.WaitForWindow(static_cast<std::int32_t>(ended), 30s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);

    EXPECT_THROW(windows.Activate(0), PlatformError);
    EXPECT_THROW(windows.Activate(static_cast<std::int32_t>(ended)), PlatformError);
}

TEST_F(Desktop, PauseStopsWhileTheStopKeyIsHeld)
{
    ActivatedWindow(StartEditWindow());
    WindowsStopKey stopKey;
    std::atomic<int> presses{0};
    ASSERT_TRUE(stopKey.Hold([&presses] { ++presses; }));
    Type("{BREAK}");  // Ctrl+Break's key is not the stop key
    INPUT pause[2] = {};
    for (INPUT& input : pause) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = VK_PAUSE;
    }
    pause[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, pause, sizeof(INPUT)), 2u);
    EXPECT_TRUE(PollUntil([&] { return presses > 0; }));
    EXPECT_EQ(presses, 1);
    stopKey.Release();
    EXPECT_TRUE(stopKey.Hold([] {})) << "the key was not given back";
}

}  // namespace
}  // namespace kestrun
