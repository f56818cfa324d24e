// Writes what it was started with into the file %KESTRUN_ARGUMENTS_FILE%, in
// UTF-8, one item a line: its own path as the system knows it, then each
// argument as the C runtime split its command line.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? static_cast<std::size_t>(size - 1) : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t file[MAX_PATH];
    if (!GetEnvironmentVariableW(L"KESTRUN_ARGUMENTS_FILE", file, MAX_PATH))
        return 2;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string lines = Utf8(self) + "\n";
    for (int i = 0; i < argc; ++i)
        lines += Utf8(argv[i]) + "\n";
    // Written beside and renamed, so that the test never reads half of it.
    const std::wstring partial = std::wstring(file) + L".part";
    FILE* out = _wfopen(partial.c_str(), L"wb");
    if (!out)
        return 3;
    std::fwrite(lines.data(), 1, lines.size(), out);
    std::fclose(out);
    return MoveFileExW(partial.c_str(), file, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
