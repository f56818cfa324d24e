// The free-standing services on Windows: the user's folders, the console's
// end requests, the start at login and the browser. The local listener is a
// Unix-domain socket, which a later Windows build replaces with a named
// pipe: until then it says it is not available, and the keyboard needs no
// repair (typing changes no keymap here).
#include "platform/KeyboardRecovery.h"
#include "platform/LocalListener.h"
#include "platform/LoginStart.h"
#include "platform/TerminationSignals.h"
#include "platform/UserFolders.h"
#include "platform/WebPageOpener.h"
#include "platform/WindowFrame.h"
#include "platform/windows/RunKeyLoginStart.h"
#include "platform/windows/ShellOpeners.h"

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <system_error>

namespace kestrun {

namespace {

constexpr const char* kNoListenerHere = "Kestrun cannot listen for later starts on Windows yet.";

std::atomic<bool> endRequested{false};

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        endRequested = true;
        return TRUE;
    default:
        return FALSE;
    }
}

std::filesystem::path KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::filesystem::path folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    if (folder.empty()) {
        std::error_code error;
        folder = std::filesystem::temp_directory_path(error);
    }
    return folder;
}

}  // namespace

LocalListener::~LocalListener() = default;

bool LocalListener::Listen(const std::filesystem::path&, std::string& error)
{
    error = kNoListenerHere;
    return false;
}

LocalListener::Accepted LocalListener::Accept() { return {}; }

void LocalListener::Close() {}

std::unique_ptr<LoginStart> MakeLoginStart(const std::filesystem::path& executable)
{
    return std::make_unique<RunKeyLoginStart>(executable);
}

void CatchTerminationSignals()
{
    static const bool installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
    (void)installed;
}

bool TerminationRequested() { return endRequested; }
int TerminationDescriptor() { return -1; }

// %APPDATA% for both: the document then lives in %APPDATA%\Kestrun.
std::filesystem::path UserConfigFolder() { return KnownFolder(FOLDERID_RoamingAppData); }
std::filesystem::path UserDataFolder() { return KnownFolder(FOLDERID_RoamingAppData); }

// %LOCALAPPDATA%: the user's own, which other users may not write to.
std::filesystem::path UserRuntimeFolder(std::string* refused)
{
    if (refused)
        refused->clear();
    return KnownFolder(FOLDERID_LocalAppData);
}

std::string UntrustedFolderReason(const std::filesystem::path& folder)
{
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return folder.u8string().empty() ? "no folder" : "not a folder";
    return {};
}

std::optional<unsigned> LocalPeerUser(std::intptr_t) { return std::nullopt; }
unsigned CurrentUser() { return 0; }

std::unique_ptr<WebPageOpener> MakeWebPageOpener() { return std::make_unique<ShellWebPageOpener>(); }

// Windows frames a window before it is first shown: nothing to estimate.
std::optional<FrameExtents> EstimateFrameExtents(std::uintptr_t) { return std::nullopt; }

void RestoreKeyboardFromJournal() {}

}  // namespace kestrun
