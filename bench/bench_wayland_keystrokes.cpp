// Types two 2,000-character texts, one with about 50 and one with about 200
// distinct characters outside the layout, into a recording foot on a private
// headless sway, with Kestrun's virtual keyboard and with wtype, and prints
// characters per second and the count of wrong or lost characters for each.

#include "bench/TypingTexts.h"
#include "platform/wayland/VirtualKeyboardSender.h"
#include "tests/wayland/WaylandSession.h"

#include <cstdio>
#include <functional>

namespace {

using kestrun::test::WaylandSession;
using namespace kestrun::bench;

void Measure(WaylandSession& session, const char* name, const std::u32string& text,
             const std::function<void()>& type)
{
    static int run = 0;
    const auto output = session.folder() / ("typed-" + std::to_string(++run) + ".txt");
    if (session.StartRecorder(output) < 0) {
        std::printf("  %-22s recorder did not start\n", name);
        return;
    }
    const std::string expected = Utf8(text);
    const auto start = Clock::now();
    type();
    const auto end = WaitForRecording(output, expected.size());
    const double seconds = std::chrono::duration<double>(std::max(end, start) - start).count();
    std::printf("  %-22s %7.0f chars/s  %5zu wrong or lost  (%.2f s)\n", name, text.size() / seconds,
                Errors(text, Decode(ReadFile(output))), seconds);
    std::fflush(stdout);
}

}  // namespace

int main()
{
    WaylandSession session(false);
    if (!session.ok()) {
        std::fprintf(stderr, "bench_wayland_keystrokes: %s\n", session.failure().c_str());
        return 1;
    }
    const kestrun::test::UserKeyboard user("us");
    // Foreign characters stand alone, words take about five: these shares of
    // the picks make about 10% and 70% of the characters foreign.
    const std::pair<double, std::size_t> mixes[] = {{0.35, 50}, {0.93, 200}};
    for (const auto& [share, distinct] : mixes) {
        const std::u32string text = MixedText(2000, share, distinct);
        std::printf("typing %zu characters, %zu distinct ones outside the layout (us), into foot on sway\n",
                    text.size(), ForeignCount(text));
        kestrun::VirtualKeyboardSender sender;
        Measure(session, "kestrun SendKeys", text, [&] { sender.SendKeys(Strokes(text), true); });
        Measure(session, "wtype", text, [&] { session.Run({"wtype", Utf8(text)}); });
    }
    return 0;
}
