// Stands for kestrun.exe in the installer's tests when the build has no Qt:
// `--version` prints what Kestrun prints; without arguments it stays, as
// Kestrun in the tray does, until it is ended.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && std::wcscmp(argv[1], L"--version") == 0) {
        std::printf("Kestrun %s\n", KESTRUN_VERSION);
        return 0;
    }
    if (argc == 1) {
        Sleep(INFINITE);
        return 0;
    }
    std::fprintf(stderr, "stand-in kestrun.exe: --version or nothing\n");
    return 2;
}
