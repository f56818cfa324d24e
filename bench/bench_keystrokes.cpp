// Types two 2,000-character texts, one with about 50 and one with about 200
// distinct characters outside the layout, into a recording xterm on a private
// X server, with Kestrun's key sender and with xdotool, and prints characters
// per second and the count of wrong or lost characters for each.

#include "bench/TypingTexts.h"
#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/XTestKeySender.h"
#include "tests/support/XSession.h"

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using kestrun::test::XSession;
using namespace kestrun::bench;

struct Figures {
    double charsPerSecond = 0;
    std::size_t errors = 0;
};

template <typename Typist>
void Measure(XSession& session, const char* name, const std::u32string& text, Typist type)
{
    static int run = 0;
    const auto output = session.folder() / ("typed-" + std::to_string(++run) + ".txt");
    const pid_t recorder = session.StartRecorder(output, 300);
    if (recorder < 0) {
        std::printf("  %-26s recorder did not start\n", name);
        return;
    }
    kestrun::EwmhWindowActivator().Activate(recorder);
    const std::string expected = Utf8(text);
    const auto start = Clock::now();
    type();
    const auto returned = Clock::now();
    const auto end = WaitForRecording(output, expected.size());
    const double seconds = std::chrono::duration<double>(std::max(end, start) - start).count();
    const double lag = std::chrono::duration<double>(end - returned).count();
    const std::size_t errors = Errors(text, Decode(ReadFile(output)));
    std::printf("  %-26s %7.0f chars/s  %5zu wrong or lost  (%.2f s; last key read %.3f s after the call returned)\n",
                name, text.size() / seconds, errors, seconds, std::max(lag, 0.0));
    std::fflush(stdout);
}

}  // namespace

int main()
{
    XSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "bench_keystrokes: %s\n", session.failure.c_str());
        return 1;
    }
    // Foreign characters stand alone, words take about five: these shares of
    // the picks make about 10% and 70% of the characters foreign.
    const std::pair<double, std::size_t> mixes[] = {{0.35, 50}, {0.93, 200}};
    for (const auto& [share, distinct] : mixes) {
        const std::u32string text = MixedText(2000, share, distinct);
        const std::vector<kestrun::KeyStroke> strokes = Strokes(text);
        const std::string plain = Utf8(text);

        std::printf("typing %zu characters, %zu distinct ones outside the layout (us), into xterm on Xvfb\n",
                    text.size(), ForeignCount(text));
        // As Kestrun types: with its keyboard guardian watching.
        kestrun::XTestKeySender sender([](const std::string& displayName) {
            return kestrun::StartKeyboardGuard(displayName, KESTRUN_KEYGUARD);
        });
        Measure(session, "kestrun SendKeys", text, [&] { sender.SendKeys(strokes, true); });
        sender.RestoreKeyboard();
        std::printf("  %-26s %d keymap change(s), the restore included\n", "", sender.MappingChanges());
        Measure(session, "xdotool type --delay 0", text,
                [&] { kestrun::test::RunProgram({"xdotool", "type", "--delay", "0", plain}); });
        Measure(session, "xdotool type (12 ms delay)", text,
                [&] { kestrun::test::RunProgram({"xdotool", "type", plain}); });
    }
    return 0;
}
