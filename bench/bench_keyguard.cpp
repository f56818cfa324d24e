// The keyboard guardian on a private X server: how long after a typing
// process is killed (SIGKILL) or stopped (SIGTERM) no key is down and the
// keyboard mapping is what it was, and what the guard costs each key sender.

#include "platform/x11/keyguard/KeyGuard.h"
#include "tests/support/XSession.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include <X11/Xlib.h>

namespace {

using kestrun::test::XSession;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

std::vector<KeySym> Keymap(Display* display)
{
    int first = 0, last = 0, width = 0;
    XDisplayKeycodes(display, &first, &last);
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &width);
    std::vector<KeySym> copy(syms, syms + (last - first + 1) * width);
    XFree(syms);
    return copy;
}

bool AnyKeyDown(Display* display)
{
    char keys[32];
    XQueryKeymap(display, keys);
    return std::any_of(std::begin(keys), std::end(keys), [](char bits) { return bits != 0; });
}

// Milliseconds from `since` until the keyboard is sound; negative after 5 s.
double UntilSound(Display* display, const std::vector<KeySym>& before, Clock::time_point since)
{
    while (AnyKeyDown(display) || Keymap(display) != before) {
        if (Clock::now() - since > std::chrono::seconds(5))
            return -1;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return Milliseconds(Clock::now() - since).count();
}

pid_t StartTyping(Display* display, const std::vector<KeySym>& before)
{
    const pid_t child = kestrun::test::StartProcess({KESTRUN_TYPING_CHILD, KESTRUN_KEYGUARD});
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (child > 0 && Keymap(display) == before && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return child;
}

void Print(const char* what, std::vector<double> figures)
{
    std::sort(figures.begin(), figures.end());
    std::printf("%-46s min %7.1f ms  median %7.1f ms  max %7.1f ms  (%zu runs%s)\n", what, figures.front(),
                figures[figures.size() / 2], figures.back(), figures.size(),
                figures.front() < 0 ? ", some never sound" : "");
}

}  // namespace

int main()
{
    XSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "%s\n", session.failure.c_str());
        return 1;
    }
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    Display* display = XOpenDisplay(nullptr);
    const auto before = Keymap(display);
    std::mt19937 random(7);

    for (const int signal : {SIGKILL, SIGTERM}) {
        std::vector<double> figures;
        for (int run = 0; run < 10; ++run) {
            const pid_t child = StartTyping(display, before);
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 900));
            const auto sent = Clock::now();
            kill(child, signal);
            figures.push_back(UntilSound(display, before, sent));
            waitpid(child, nullptr, 0);
            while (waitpid(-1, nullptr, WNOHANG) > 0) {
            }
        }
        Print(signal == SIGKILL ? "SIGKILL to keyboard sound (guardian)" : "SIGTERM to keyboard sound (typing stops)",
              figures);
    }

    std::vector<double> costs;
    for (int run = 0; run < 20; ++run) {
        const auto start = Clock::now();
        {
            const auto guard = kestrun::StartKeyboardGuard(DisplayString(display), KESTRUN_KEYGUARD);
            guard->Borrowing({{200, {NoSymbol, NoSymbol}, {0x1000436, 0x1000436}}});
            guard->Restored();
        }
        costs.push_back(Milliseconds(Clock::now() - start).count());
    }
    Print("guard per key sender (start, borrow, end)", costs);
    XCloseDisplay(display);
    return 0;
}
