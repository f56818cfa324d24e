#include "settings/registry/RegistryFileFormat.h"

#include "core/AsciiText.h"
#include "core/Utf8.h"
#include "settings/registry/RegistryOperations.h"

#include <charconv>
#include <cstdio>

namespace kestrun {

namespace {

constexpr std::string_view kHeader =
    "; Kestrun settings. Kestrun rewrites this file on every change; comments are not kept.\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kBytesPerLine = 24;

bool HasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// ---- writing ----

std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string HexBytes(std::string_view data)
{
    std::string text;
    char byte[3];
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0)
            text += (i % kBytesPerLine == 0) ? ",\\\n  " : ",";
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
        text += byte;
    }
    return text;
}

std::string ValueLine(const RegistryValue& value)
{
    std::string line = value.name.empty() ? "@" : Quoted(value.name);
    line += '=';
    if (value.type == kRegSz && !HasLineBreakOrNul(value.data) && IsValidUtf8(value.data))
        return line + Quoted(value.data);
    if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
        return line + "dword:" + digits;
    }
    if (value.type == kRegBinary)
        return line + "hex:" + HexBytes(value.data);
    char type[9];
    std::snprintf(type, sizeof type, "%x", static_cast<unsigned>(value.type));
    return line + "hex(" + type + "):" + HexBytes(value.data);
}

// ---- reading ----

std::optional<std::uint32_t> HexNumber(std::string_view digits, std::size_t maxDigits)
{
    if (digits.empty() || digits.size() > maxDigits)
        return std::nullopt;
    std::uint32_t number = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

// A quoted text starting at text[pos]; pos ends after the closing quote.
// A backslash escapes only a backslash or a quote; before anything else it
// stands for itself, so that a hand-typed path like "C:\temp" survives.
std::optional<std::string> Unquote(std::string_view text, std::size_t& pos)
{
    if (pos >= text.size() || text[pos] != '"')
        return std::nullopt;
    std::string result;
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            result += text[++i];
        } else if (c == '"') {
            pos = i + 1;
            return result;
        } else {
            result += c;
        }
    }
    return std::nullopt;
}

std::optional<std::string> Bytes(std::string_view list)
{
    std::string bytes;
    list = Trim(list);
    if (list.empty())
        return bytes;
    for (;;) {
        std::size_t comma = list.find(',');
        std::optional<std::uint32_t> byte = HexNumber(Trim(list.substr(0, comma)), 2);
        if (!byte)
            return std::nullopt;
        bytes += static_cast<char>(*byte);
        if (comma == std::string_view::npos)
            return bytes;
        list.remove_prefix(comma + 1);
    }
}

std::optional<RegistryValue> Data(std::string_view text)
{
    RegistryValue value;
    if (text.starts_with('"')) {
        std::size_t pos = 0;
        std::optional<std::string> data = Unquote(text, pos);
        if (!data || !Trim(text.substr(pos)).empty())
            return std::nullopt;
        value.type = kRegSz;
        value.data = std::move(*data);
        return value;
    }
    if (text.starts_with("dword:")) {
        std::optional<std::uint32_t> number = HexNumber(text.substr(6), 8);
        if (!number)
            return std::nullopt;
        value.type = kRegDword;
        for (int i = 0; i < 4; ++i)
            value.data += static_cast<char>((*number >> (8 * i)) & 0xFF);
        return value;
    }
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view kind = text.substr(0, colon);
    if (kind == "hex") {
        value.type = kRegBinary;
    } else if (kind.starts_with("hex(") && kind.ends_with(')')) {
        std::optional<std::uint32_t> type = HexNumber(kind.substr(4, kind.size() - 5), 8);
        if (!type)
            return std::nullopt;
        value.type = *type;
    } else {
        return std::nullopt;
    }
    std::optional<std::string> bytes = Bytes(text.substr(colon + 1));
    if (!bytes)
        return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::nullopt_t Refused(std::size_t* badLine, std::size_t index)
{
    if (badLine)
        *badLine = index + 1;
    return std::nullopt;
}

// The keys and values of the text. Strict, any line that does not follow the
// format makes the whole text unreadable; otherwise such a line is passed
// over, and so are the values under a key line that does not.
std::optional<RegistryTree> Parse(std::string_view text, bool strict, std::size_t* badLine = nullptr)
{
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    std::vector<std::string_view> lines = Lines(text);
    RegistryTree tree;
    // Valid until the next key is added: values follow their key's line.
    RegistryKeyEntry* currentKey = nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        if (line.empty() || line.starts_with(';'))
            continue;
        if (tree.Keys().empty() &&
            (line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00"))
            continue;
        if (line.starts_with('[')) {
            // "[-path]" deletes a key in an export file: not a settings file.
            std::string_view path = line.substr(1, line.size() >= 2 ? line.size() - 2 : 0);
            if (!line.ends_with(']') || line.starts_with("[-") || !IsWellFormedRegistryPath(path)) {
                if (strict)
                    return Refused(badLine, i);
                currentKey = nullptr;
                continue;
            }
            currentKey = &tree.Add(path);
            continue;
        }

        std::string name;
        std::size_t pos = 0;
        bool wellFormed = currentKey != nullptr;
        if (line.starts_with('@')) {
            pos = 1;
        } else if (std::optional<std::string> quoted = Unquote(line, pos); quoted && !HasLineBreakOrNul(*quoted)) {
            name = std::move(*quoted);
        } else {
            wellFormed = false;
        }
        std::string_view rest = Trim(line.substr(pos));
        wellFormed = wellFormed && rest.starts_with('=');
        std::string data(Trim(rest.substr(rest.empty() ? 0 : 1)));
        if (data.starts_with("hex")) {
            while (data.ends_with('\\') && i + 1 < lines.size()) {
                data.pop_back();
                data += Trim(lines[++i]);
            }
        }
        std::optional<RegistryValue> value = wellFormed ? Data(data) : std::nullopt;
        if (!value) {
            if (strict)
                return Refused(badLine, i);
            continue;
        }
        value->name = std::move(name);
        tree.SetValue(*currentKey, std::move(*value));
    }
    return tree;
}

}  // namespace

std::optional<RegistryTree> ParseRegistryText(std::string_view text, std::size_t* badLine)
{
    return Parse(text, true, badLine);
}

RegistryTree ReadableRegistryValues(std::string_view text) { return *Parse(text, false); }

std::string RegistryText(const RegistryTree& tree)
{
    std::string text(kHeader);
    for (const RegistryKeyEntry& key : tree.Keys()) {
        text += "\n[" + key.path + "]\n";
        for (const RegistryValue& value : key.values)
            text += ValueLine(value) + '\n';
    }
    return text;
}

}  // namespace kestrun
