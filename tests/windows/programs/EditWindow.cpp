// A window that stands for someone's editor in the Windows tests: a top-level
// window with one multi-line EDIT control that has the keyboard focus.
//   edit_window [--title TITLE] [--delay MS] [--child]
// --delay opens the window that many milliseconds after the start; --child
// opens it in a child process instead and waits for that child.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

HWND edit = nullptr;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        edit = CreateWindowExW(0, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                               0, 0, 100, 100, window, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
        return 0;
    case WM_SIZE:
        MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        SetFocus(edit);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            SetFocus(edit);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunChild(const wchar_t* title)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --title \"" + title + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 3;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* title = L"Kestrun test window";
    DWORD delay = 0;
    bool child = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::wcscmp(argv[i], L"--title") && i + 1 < argc)
            title = argv[++i];
        else if (!std::wcscmp(argv[i], L"--delay") && i + 1 < argc)
            delay = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        else if (!std::wcscmp(argv[i], L"--child"))
            child = true;
    }
    if (child)
        return RunChild(title);
    Sleep(delay);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KestrunTestWindow";
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title, WS_OVERLAPPEDWINDOW, 40, 40, 640, 400,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 2;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(edit);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
