// Types 2,000 characters of the German layout into a recording Qt and a GTK window on a private headless
// KWin, through Kestrun's fake-input typing (KESTRUN_BENCH_RUNS times, 1 unless set), then a text with
// Greek, Cyrillic and CJK words that are pasted, and 400 characters a key at a time, 25 ms apart; prints
// characters per second and the count of wrong or lost characters for each.

#include "bench/TypingTexts.h"
#include "tests/wayland/KwinSession.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

using kestrun::test::KwinSession;
using namespace kestrun::bench;
namespace fs = std::filesystem;

// What the German layout types, with Shift and Alt Gr, and what the window gets of it.
const std::string kLine = "Grüße aus Köln, 10 € für µ² & {{}{[}{]}{}} @ | {~} ZY: Hello World! 0123456789 +(qwertz)~";
const std::string kLineTyped = "Grüße aus Köln, 10 € für µ² & {[]} @ | ~ ZY: Hello World! 0123456789 QWERTZ\n";
// About one character in six outside the layout, in words of two to five.
const std::string kMixedLine = "Grüße ΑΒΓΔ aus Köln жизнь, 10 € 中文字 für µ² and ✓→∞ ok Olé~";
const std::string kMixedLineTyped = "Grüße ΑΒΓΔ aus Köln жизнь, 10 € 中文字 für µ² and ✓→∞ ok Olé\n";

void Measure(KwinSession& session, bool gtk, const char* name, const char* mode, int lines,
             const std::string& line = kLine, const std::string& lineTyped = kLineTyped)
{
    static int run = 0;
    const fs::path output = session.folder() / ("typed-" + std::to_string(++run) + ".txt");
    const pid_t recorder = gtk ? session.StartGtkRecorder(output) : session.StartQtRecorder(output);
    const bool shown = recorder > 0 && kestrun::test::WaitUntil([&] {
        return session.Run({KESTRUN_KWIN_TYPIST, "activate", std::to_string(recorder)}).status == 0;
    });
    if (!shown) {
        std::printf("  %-4s %-34s the window did not show\n", gtk ? "GTK" : "Qt", name);
        return;
    }
    std::string text, expected;
    for (int i = 0; i < lines; ++i)
        text += line, expected += lineTyped;
    const fs::path file = session.folder() / "text.txt";
    std::ofstream(file) << text;
    fs::permissions(file, fs::perms::others_read, fs::perm_options::add);
    const auto start = Clock::now();
    const kestrun::test::Outcome typed = session.Run({KESTRUN_KWIN_TYPIST, mode, file.string()});
    const double typing = std::chrono::duration<double>(Clock::now() - start).count();
    if (typed.status != 0)
        std::printf("  %-4s %-34s the typist failed: %s", gtk ? "GTK" : "Qt", name, typed.err.c_str());
    const auto end = WaitForRecording(output, expected.size());
    const double seconds = std::chrono::duration<double>(std::max(end, start) - start).count();
    const std::u32string wanted = Decode(expected);
    int status = 0;
    std::printf("  %-4s %-34s %7.0f chars/s  %5zu wrong or lost  (%.2f s, the typist %.2f s)%s\n", gtk ? "GTK" : "Qt", name,
                wanted.size() / seconds, Errors(wanted, Decode(ReadFile(output))), seconds, typing,
                kestrun::test::Ended(recorder, status) ? "  the window was disconnected" : "");
    std::fflush(stdout);
    kestrun::test::StopProcess(recorder);
}

}  // namespace

int main()
{
    KwinSession session(KESTRUN_KWIN_TYPIST);
    if (!session.ok()) {
        std::fprintf(stderr, "bench_kwin_keystrokes: %s\n", session.failure().c_str());
        return 1;
    }
    const char* runs = std::getenv("KESTRUN_BENCH_RUNS");
    const int times = runs ? std::max(1, std::atoi(runs)) : 1;
    std::printf("typing into a Qt and a GTK window on KWin (German layout)\n");
    for (int time = 0; time < times; ++time)
        for (const bool gtk : {false, true})
            Measure(session, gtk, "kestrun fake input, 2,000 chars", "type", 25);
    for (const bool gtk : {false, true})
        Measure(session, gtk, "kestrun, 1,050 chars, 1 in 6 pasted", "type", 17, kMixedLine, kMixedLineTyped);
    for (const bool gtk : {false, true})
        Measure(session, gtk, "a key per 25 ms, 400 chars", "slowly", 5);
    return 0;
}
