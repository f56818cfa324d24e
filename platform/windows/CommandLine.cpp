#include "platform/windows/CommandLine.h"

#include "platform/PlatformError.h"

namespace kestrun {

namespace {

void AppendArgument(std::wstring& line, const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

}  // namespace

std::wstring CommandLineFor(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    if (program.find(L'"') != std::wstring::npos)
        throw PlatformError("A program's name cannot hold a quotation mark.");
    std::wstring line = L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments) {
        line += L' ';
        AppendArgument(line, argument);
    }
    return line;
}

}  // namespace kestrun
