#include "bench/TypingTexts.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

namespace kestrun::bench {

namespace {

std::size_t FileSize(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

}  // namespace

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

std::vector<KeyStroke> Strokes(const std::u32string& text)
{
    std::vector<KeyStroke> strokes;
    for (char32_t c : text)
        strokes.push_back(c == U'\n' ? KeyStroke::Named(NamedKey::Enter) : KeyStroke::Character(c));
    return strokes;
}

std::size_t ForeignCount(const std::u32string& text)
{
    std::vector<char32_t> seen;
    for (char32_t c : text)
        if (c >= 0x80 && std::find(seen.begin(), seen.end(), c) == seen.end())
            seen.push_back(c);
    return seen.size();
}

}  // namespace kestrun::bench
