// Types the 2,000-character mixed text (about 50 distinct characters outside the us layout) through the
// built kestrun into each application of the receiver matrix, and prints characters per second from the
// first character received to the last, and the characters wrong or lost. Into xterm and foot also
// `xdotool type` (its default 12 ms delay) and wtype, on the same text in the same run. Editors that
// are read by saving have no first character to time: their figure runs from the request to the save.
// Usage: bench_receivers [receiver...] (all when none is named).

#include "bench/TypingTexts.h"
#include "tests/receivers/Desktop.h"
#include "tests/receivers/MatrixTexts.h"
#include "tests/receivers/Receivers.h"

#include <cstdio>
#include <functional>

namespace {

using namespace kestrun::test;
using kestrun::bench::Decode;
using kestrun::bench::Errors;

void Measure(const char* receiver, const char* typist, Desktop& desktop, KestrunTypist& kestrun, Receiver& application,
             const std::function<void()>& type)
{
    const MatrixText& text = TextNamed("mixed2000");
    if (!application.Prepare(desktop, kestrun)) {
        std::printf("  %-18s %-22s cannot empty or focus it\n", receiver, typist);
        return;
    }
    application.Begin();
    type();
    const Arrival arrival = application.Read(kestrun, text.expected);
    const double seconds = std::chrono::duration<double>(arrival.last - arrival.first).count();
    const std::u32string expected = Decode(text.expected), got = Decode(arrival.text);
    std::printf("  %-18s %-22s %7.0f chars/s  %5zu wrong or lost  (%.2f s)\n", receiver, typist,
                seconds > 0 ? got.size() / seconds : 0.0, Errors(expected, got), seconds);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    std::vector<std::string> receivers = {"xterm",  "chromium", "firefox", "writer-x11", "writer-gtk3",  "mousepad",
                                          "featherpad", "foot", "chromium-wayland", "mousepad-wayland"};
    if (argc > 1)
        receivers.assign(argv + 1, argv + argc);
    std::printf("typing %zu characters (%zu distinct outside the us layout) through kestrun --run\n",
                Decode(TextNamed("mixed2000").expected).size(), kestrun::bench::ForeignCount(Decode(TextNamed("mixed2000").expected)));
    for (const std::string& name : receivers) {
        auto application = MakeReceiver(name);
        if (!application) {
            std::printf("  %-18s no such receiver\n", name.c_str());
            continue;
        }
        const auto desktop = OnSway(name) ? MakeSwayDesktop() : MakeX11Desktop();
        if (!desktop->failure().empty()) {
            std::printf("  %-18s %s\n", name.c_str(), desktop->failure().c_str());
            continue;
        }
        KestrunTypist kestrun(*desktop);
        const std::string failure = kestrun.ok() ? application->Start(*desktop) : "kestrun did not come up";
        if (!failure.empty()) {
            std::printf("  %-18s %s\n", name.c_str(), failure.c_str());
            continue;
        }
        const std::string text = TextNamed("mixed2000").expected;
        Measure(name.c_str(), "kestrun", *desktop, kestrun, *application, [&] { kestrun.Run("mixed2000"); });
        if (name == "xterm")
            Measure(name.c_str(), "xdotool type", *desktop, kestrun, *application,
                    [&] { desktop->Run({"xdotool", "type", text}); });
        if (name == "foot")
            Measure(name.c_str(), "wtype", *desktop, kestrun, *application, [&] { desktop->Run({"wtype", text}); });
    }
    return 0;
}
