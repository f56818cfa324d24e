#include "document/DocumentText.h"

#include "core/AsciiText.h"
#include "core/Utf8.h"
#include "document/DocumentError.h"

#include <pugixml.hpp>

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kestrun {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The parser's code for text it cannot take; the load report carries it.
constexpr std::int32_t kErrBadText = pugi::status_bad_pcdata;

[[noreturn]] void Refuse(const std::string& reason, std::string_view text, std::size_t offset)
{
    std::string description = reason;
    if (const std::string where = PositionText(text, offset); !where.empty())
        description += " (" + where + ")";
    throw DocumentError::LoadFailure(kErrBadText, description);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The encoding named by the XML declaration at the start, or nothing.
std::optional<std::string_view> DeclaredEncoding(std::string_view text)
{
    if (!text.starts_with("<?xml") || text.size() < 6 || !IsBlank(text[5]))
        return std::nullopt;
    std::string_view declaration = text.substr(0, text.find("?>"));
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return std::nullopt;
    std::size_t i = at + 8;
    while (i < declaration.size() && IsBlank(declaration[i])) ++i;
    if (i >= declaration.size() || declaration[i] != '=')
        return std::nullopt;
    ++i;
    while (i < declaration.size() && IsBlank(declaration[i])) ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return std::nullopt;
    const std::size_t end = declaration.find(declaration[i], i + 1);
    if (end == std::string_view::npos)
        return std::nullopt;
    return declaration.substr(i + 1, end - i - 1);
}

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined keep
// their Latin-1 code points.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string Utf8Of(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::string SingleByteToUtf8(std::string_view bytes, bool windows1252)
{
    std::u16string wide(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), wide.begin(), [windows1252](char byte) -> char16_t {
        const auto c = static_cast<unsigned char>(byte);
        return windows1252 && c >= 0x80 && c <= 0x9F ? kWindows1252High[c - 0x80] : c;
    });
    return Utf8Of(QString::fromStdU16String(wide));
}

// UTF-16 or UTF-32, told by a byte order mark or by how "<" is spelt.
std::optional<QStringConverter::Encoding> WideEncoding(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE\0\0"sv) || bytes.starts_with("<\0\0\0"sv))
        return QStringConverter::Utf32LE;
    if (bytes.starts_with("\0\0\xFE\xFF"sv) || bytes.starts_with("\0\0\0<"sv))
        return QStringConverter::Utf32BE;
    if (bytes.starts_with("\xFF\xFE"sv) || bytes.starts_with("<\0"sv))
        return QStringConverter::Utf16LE;
    if (bytes.starts_with("\xFE\xFF"sv) || bytes.starts_with("\0<"sv))
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

// The index of the first surrogate that is not half of a pair, or -1. The
// decoder passes such halves through; written as UTF-8 they would be lost.
qsizetype LoneSurrogate(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return i;
    }
    return -1;
}

void RequireUtf8(std::string_view text, std::string_view why)
{
    const std::size_t bad = FirstInvalidUtf8(text);
    if (bad == std::string_view::npos)
        return;
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text[bad]));
    Refuse(std::string(why) + " but holds the byte " + byte + ", which is not UTF-8", text, bad);
}

bool IsXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The length of a character XML does not allow at text[i] (a control
// character, or U+FFFE or U+FFFF in UTF-8), or 0.
std::size_t ForbiddenAt(std::string_view text, std::size_t i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20)
        return IsXmlCharacter(c) ? 0 : 1;
    if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
        return 3;
    return 0;
}

std::string CodePointText(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// Checks the character reference that starts with "&#" at text[at]; true
// when it stands for a carriage return.
bool CheckReference(std::string_view text, std::size_t at)
{
    std::size_t i = at + 2;
    const bool hex = i < text.size() && text[i] == 'x';
    if (hex) ++i;
    const std::size_t digitsStart = i;
    char32_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0)
            break;
        value = std::min<char32_t>(value * (hex ? 16 : 10) + static_cast<char32_t>(digit), 0x110000);
    }
    const std::string written(text.substr(at, std::min<std::size_t>(i + 1 - at, 16)));
    if (i == digitsStart || i >= text.size() || text[i] != ';')
        Refuse("The character reference " + written + " is malformed", text, at);
    if (!IsXmlCharacter(value))
        Refuse("The character reference " + written + " stands for a character that XML does not allow", text,
               at);
    return value == '\r';
}

// The end of the markup at text[i] that holds no references (comment, CDATA
// section, processing instruction), or i itself.
std::size_t SkipReferenceFree(std::string_view text, std::size_t i)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kSpans = {{
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"},
    }};
    if (i + 1 >= text.size() || (text[i + 1] != '!' && text[i + 1] != '?'))
        return i;
    for (const auto& [open, close] : kSpans) {
        if (text.substr(i).starts_with(open)) {
            const std::size_t end = text.find(close, i + open.size());
            return end == std::string_view::npos ? text.size() : end + close.size();
        }
    }
    return i;
}

// The end of the tag at text[i], checking the references in its quoted
// values: a "<!--" inside a value starts no comment.
std::size_t SkipTag(std::string_view text, std::size_t i, bool& carriageReturn)
{
    char quote = 0;
    for (std::size_t j = i + 1; j < text.size(); ++j) {
        const char c = text[j];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
            else if (c == '&' && j + 1 < text.size() && text[j + 1] == '#')
                carriageReturn |= CheckReference(text, j);
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return j + 1;
        } else if (c == '<') {
            return j;  // not a tag; the parser will say so
        }
    }
    return text.size();
}

}  // namespace

std::optional<std::string> DocumentTextAsUtf8(std::string_view bytes)
{
    if (std::optional<QStringConverter::Encoding> wide = WideEncoding(bytes)) {
        QStringDecoder decoder(*wide);
        const QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        const qsizetype bad = decoder.hasError() ? 0 : LoneSurrogate(text);
        if (decoder.hasError() || bad >= 0) {
            const std::string before = Utf8Of(text.left(std::max<qsizetype>(bad, 0)));
            Refuse("The file is neither UTF-8 nor well-formed UTF-16 or UTF-32", before, before.size());
        }
        return Utf8Of(text);
    }
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        RequireUtf8(bytes, "The file begins with the UTF-8 byte order mark");
        return std::nullopt;
    }
    const std::optional<std::string_view> declared = DeclaredEncoding(bytes);
    if (declared && (EqualsIgnoringAsciiCase(*declared, "UTF-8") || EqualsIgnoringAsciiCase(*declared, "UTF8"))) {
        RequireUtf8(bytes, "The file declares the encoding UTF-8");
        return std::nullopt;
    }
    if (declared && (EqualsIgnoringAsciiCase(*declared, "ISO-8859-1") || EqualsIgnoringAsciiCase(*declared, "latin1")))
        return SingleByteToUtf8(bytes, false);
    if (declared && (EqualsIgnoringAsciiCase(*declared, "windows-1252") || EqualsIgnoringAsciiCase(*declared, "cp1252")))
        return SingleByteToUtf8(bytes, true);
    if (IsValidUtf8(bytes))
        return std::nullopt;
    if (declared)
        RequireUtf8(bytes, "The file declares the encoding " + std::string(*declared) + ", which Kestrun does not read,");
    return SingleByteToUtf8(bytes, true);
}

bool CheckDocumentCharacters(std::string_view text)
{
    // This runs over every byte of the file before each parse: eight bytes at
    // a time while none of them is a control character or the lead byte of
    // U+FFFE and U+FFFF, and from one "<" or "&" to the next.
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i + 8 <= text.size()) {
            std::uint64_t block;
            std::memcpy(&block, text.data() + i, 8);
            const std::uint64_t control = (block - kOnes * 0x20) & ~block;
            const std::uint64_t lead = block ^ (kOnes * 0xEF);
            if (((control | ((lead - kOnes) & ~lead)) & kHighs) == 0) {
                i += 7;
                continue;
            }
        }
        if (ForbiddenAt(text, i) == 0)
            continue;
        char32_t c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80)
            c = static_cast<unsigned char>(text[i + 2]) == 0xBE ? 0xFFFE : 0xFFFF;
        Refuse("The file holds the character " + CodePointText(c) + ", which XML does not allow", text, i);
    }
    bool carriageReturn = false;
    std::size_t reference = text.find("&#");
    for (std::size_t i = text.find('<');; i = text.find('<', i)) {
        for (; reference < i; reference = text.find("&#", reference + 1))
            carriageReturn |= CheckReference(text, reference);
        if (i == std::string_view::npos)
            return carriageReturn;
        const std::size_t end = SkipReferenceFree(text, i);
        i = end != i ? end : SkipTag(text, i, carriageReturn);
        if (reference < i)
            reference = text.find("&#", i);
    }
}

std::string PositionText(std::string_view text, std::size_t offset)
{
    if (offset > text.size())
        return {};
    long line = 1;
    long column = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string WithoutForbiddenCharacters(std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = ForbiddenAt(text, i)) {
            i += length;
            continue;
        }
        kept += text[i++];
    }
    return kept;
}

}  // namespace kestrun
