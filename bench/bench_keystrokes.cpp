// Types two 2,000-character texts, one with about 50 and one with about 200
// distinct characters outside the layout, into a recording xterm on a private
// X server, with Kestrun's key sender and with xdotool, and prints characters
// per second and the count of wrong or lost characters for each.

#include "platform/KeyNotation.h"
#include "platform/linux/EwmhWindowActivator.h"
#include "platform/linux/XTestKeySender.h"
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
using Clock = std::chrono::steady_clock;

// A text of `length` characters: ASCII words, with about `foreignShare` of
// its characters drawn from `distinct` characters that the us layout lacks.
std::u32string MixedText(std::size_t length, double foreignShare, std::size_t distinct)
{
    const std::pair<char32_t, int> blocks[] = {
        {U'é', 20}, {U'Α', 17}, {U'α', 25}, {U'А', 64}, {U'ぁ', 83}, {U'一', 200}, {U'←', 40},
    };
    std::vector<char32_t> foreign;
    for (const auto& [first, count] : blocks)
        for (int k = 0; k < count; ++k)
            foreign.push_back(first + k);
    std::mt19937 random(20240601);
    std::shuffle(foreign.begin(), foreign.end(), random);
    foreign.resize(distinct);

    const std::u32string words[] = {U"the", U"Quick", U"brown", U"FOX", U"jumps", U"over", U"lazy",
                                    U"dog", U"1234",  U"x=y+z", U"a@b.c", U"#tag", U"50%",  U"(ok)"};
    std::u32string text;
    std::size_t line = 0, next = 0;
    while (text.size() < length) {
        if (std::uniform_real_distribution<double>(0, 1)(random) < foreignShare) {
            // Every foreign character once before any repeats.
            text += foreign[next++ % foreign.size()];
            ++line;
        } else {
            const std::u32string& word = words[random() % std::size(words)];
            text += word;
            line += word.size();
        }
        if (line > 60) {
            text += U'\n';
            line = 0;
        } else if (random() % 3 == 0) {
            text += U' ';
            ++line;
        }
    }
    text.resize(length - 1);
    text += U'\n';
    return text;
}

std::string Utf8(const std::u32string& text)
{
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) out += static_cast<char>(c);
        else if (c < 0x800) { out += static_cast<char>(0xC0 | (c >> 6)); out += static_cast<char>(0x80 | (c & 0x3F)); }
        else { out += static_cast<char>(0xE0 | (c >> 12)); out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
               out += static_cast<char>(0x80 | (c & 0x3F)); }
    }
    return out;
}

std::u32string Decode(const std::string& bytes)
{
    std::u32string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (std::size_t k = 1; k < n && i + k < bytes.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        out += c;
        i += n;
    }
    return out;
}

// Characters wrong or lost (or extra): the edit distance between the texts.
std::size_t Errors(const std::u32string& expected, const std::u32string& got)
{
    std::vector<std::size_t> row(got.size() + 1), next(got.size() + 1);
    for (std::size_t j = 0; j <= got.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= expected.size(); ++i) {
        next[0] = i;
        for (std::size_t j = 1; j <= got.size(); ++j)
            next[j] = std::min({row[j] + 1, next[j - 1] + 1, row[j - 1] + (expected[i - 1] != got[j - 1])});
        std::swap(row, next);
    }
    return row[got.size()];
}

std::size_t FileSize(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

// Waits until the recorder holds `bytes` bytes or has stopped growing for a
// second; returns the time at which its last byte arrived.
Clock::time_point WaitForRecording(const std::filesystem::path& output, std::size_t bytes)
{
    std::size_t last = FileSize(output);
    auto lastChange = Clock::now();
    while (Clock::now() - lastChange < std::chrono::seconds(1)) {
        const std::size_t now = FileSize(output);
        if (now != last) {
            last = now;
            lastChange = Clock::now();
        }
        if (now >= bytes)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return lastChange;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

std::size_t ForeignCount(const std::u32string& text)
{
    std::vector<char32_t> seen;
    for (char32_t c : text)
        if (c >= 0x80 && std::find(seen.begin(), seen.end(), c) == seen.end())
            seen.push_back(c);
    return seen.size();
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
        std::vector<kestrun::KeyStroke> strokes;
        for (char32_t c : text)
            strokes.push_back(c == U'\n' ? kestrun::KeyStroke::Named(kestrun::NamedKey::Enter)
                                         : kestrun::KeyStroke::Character(c));
        const std::string notation = kestrun::FormatKeySequence(strokes);
        const std::string plain = Utf8(text);

        std::printf("typing %zu characters, %zu distinct ones outside the layout (us), into xterm on Xvfb\n",
                    text.size(), ForeignCount(text));
        // As Kestrun types: with its keyboard guardian watching.
        kestrun::XTestKeySender sender([](const std::string& displayName) {
            return kestrun::StartKeyboardGuard(displayName, KESTRUN_KEYGUARD);
        });
        Measure(session, "kestrun SendKeys", text, [&] { sender.SendKeys(notation, true); });
        sender.RestoreKeyboard();
        std::printf("  %-26s %d keymap change(s), the restore included\n", "", sender.MappingChanges());
        Measure(session, "xdotool type --delay 0", text,
                [&] { kestrun::test::RunProgram({"xdotool", "type", "--delay", "0", plain}); });
        Measure(session, "xdotool type (12 ms delay)", text,
                [&] { kestrun::test::RunProgram({"xdotool", "type", plain}); });
    }
    return 0;
}
