// Prints the text of the EDIT control of the top-level window with the
// given title, in UTF-8, for the tests of the whole application to read
// back what Kestrun typed.
//   read_window_text TITLE OUTPUT_FILE
// Exits 1 when no such window or control is there.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t* argv[])
{
    if (argc != 3)
        return 2;
    const HWND window = FindWindowW(nullptr, argv[1]);
    const HWND edit = window ? FindWindowExW(window, nullptr, L"EDIT", nullptr) : nullptr;
    if (!edit)
        return 1;
    DWORD_PTR length = 0;
    SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(copied);
    std::string utf8(static_cast<std::size_t>(
                         WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), int(utf8.size()), nullptr, nullptr);
    FILE* out = _wfopen(argv[2], L"wb");
    if (!out)
        return 1;
    std::fwrite(utf8.data(), 1, utf8.size(), out);
    std::fclose(out);
    return 0;
}
