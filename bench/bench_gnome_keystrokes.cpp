// Types 1,000-character texts, one of the layout's characters only and one with about 10% outside it,
// into a Qt and a GTK window on a private headless mutter, with Kestrun's remote desktop typing and key by
// key through mutter's interface at 25 ms a key (one keysym call per character, as remote desktop
// tools do), and prints characters per second and the count of wrong or lost characters for each.
// KESTRUN_BENCH_RUNS repeats Kestrun's typing (1 unless set), KESTRUN_BENCH_ONLY_KESTRUN leaves out the
// key by key typing, KESTRUN_BENCH_ONLY_GTK the Qt window.

#include "bench/TypingTexts.h"
#include "platform/KeySyms.h"
#include "platform/gnome/RemoteDesktopSender.h"
#include "platform/gnome/RemoteDesktopSession.h"
#include "tests/gnome/MutterSession.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

namespace {

using kestrun::RemoteDesktopSession;
using kestrun::test::MutterSession;
using namespace kestrun::bench;
using Route = RemoteDesktopSession::Route;

void Measure(MutterSession& session, bool gtk, const char* name, const std::u32string& text,
             const std::function<void()>& type)
{
    static int run = 0;
    const auto output = session.folder() / ("typed-" + std::to_string(++run) + ".txt");
    const pid_t recorder = gtk ? session.StartGtkRecorder(output) : session.StartQtRecorder(output);
    if (recorder < 0) {
        std::printf("  %-4s %-26s recorder did not start\n", gtk ? "GTK" : "Qt", name);
        return;
    }
    const std::string expected = Utf8(text);
    const auto start = Clock::now();
    try {
        type();
    } catch (const std::exception& error) {
        std::printf("  (%s)\n", error.what());
    }
    const auto sent = Clock::now();
    const auto end = WaitForRecording(output, expected.size());
    const double seconds = std::chrono::duration<double>(std::max(end, start) - start).count();
    const bool alive = kill(recorder, 0) == 0 && waitpid(recorder, nullptr, WNOHANG) == 0;
    std::printf("  %-4s %-26s %7.0f chars/s  %5zu wrong or lost  (%.2f s, sent in %.2f s)%s\n", gtk ? "GTK" : "Qt",
                name, text.size() / seconds, Errors(text, Decode(ReadFile(output))), seconds,
                std::chrono::duration<double>(sent - start).count(), alive ? "" : "  DISCONNECTED");
    const std::u32string got = Decode(ReadFile(output));
    if (getenv("KESTRUN_BENCH_SHOW") && got != text) {
        std::size_t at = 0;
        while (at < got.size() && at < text.size() && got[at] == text[at])
            ++at;
        const std::size_t from = at > 20 ? at - 20 : 0;
        std::printf("       first difference at %zu: expected \"%s\", got \"%s\"\n", at,
                    Utf8(text.substr(from, 40)).c_str(), Utf8(got.substr(from, 40)).c_str());
    }
    std::fflush(stdout);
    kestrun::test::StopProcess(recorder);
}

// One press and one release a character, its own keysym (Unicode keysyms beyond Latin-1), 25 ms apart.
void KeyByKey(const std::u32string& text)
{
    RemoteDesktopSession session(Route::Mutter);
    session.Start(nullptr);
    session.Key(XKB_KEY_Shift_L, true);
    session.Key(XKB_KEY_Shift_L, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    for (const kestrun::KeyStroke& stroke : Strokes(text)) {
        const unsigned long keysym = kestrun::KeySymFor(stroke);
        session.Key(keysym, true);
        session.Key(keysym, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

}  // namespace

int main()
{
    MutterSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "bench_gnome_keystrokes: %s\n", session.failure().c_str());
        return 1;
    }
    const char* runs = getenv("KESTRUN_BENCH_RUNS");
    const int times = runs ? std::max(1, atoi(runs)) : 1;
    const std::pair<double, std::size_t> mixes[] = {{0.0, 0}, {0.35, 50}};
    for (const auto& [share, distinct] : mixes) {
        const std::u32string text = MixedText(1000, share, distinct);
        std::printf("typing %zu characters, %zu distinct ones outside the layout (us), on headless mutter\n",
                    text.size(), ForeignCount(text));
        for (const bool gtk : {false, true}) {
            if (getenv("KESTRUN_BENCH_ONLY_GTK") && !gtk)
                continue;
            for (int time = 0; time < times; ++time)
                Measure(session, gtk, "kestrun SendKeys", text, [&] {
                    kestrun::RemoteDesktopSender sender(Route::Mutter, nullptr);
                    sender.SendKeys(Strokes(text), true);
                });
            if (!getenv("KESTRUN_BENCH_ONLY_GTK") && !getenv("KESTRUN_BENCH_ONLY_KESTRUN"))
                Measure(session, gtk, "key by key, 25 ms a key", text, [&] { KeyByKey(text); });
        }
    }
    return 0;
}
