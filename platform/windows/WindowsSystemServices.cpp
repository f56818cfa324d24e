// The free-standing services on Windows: the user's folders, the console's
// end requests, the user at the other end of a named pipe, the start at
// login and the browser. The local listener is a Unix-domain socket: the
// application listens on a named pipe instead (Qt's local server), and this
// one says it is not available. The keyboard needs no repair (typing
// changes no keymap here).
#include "platform/KeyboardRecovery.h"
#include "platform/LocalListener.h"
#include "platform/LoginStart.h"
#include "platform/StartingCommand.h"
#include "platform/TerminationSignals.h"
#include "platform/UserFolders.h"
#include "platform/WebPageOpener.h"
#include "platform/WindowFrame.h"
#include "platform/windows/RunKeyLoginStart.h"
#include "platform/windows/ShellOpeners.h"
#include "platform/windows/WideText.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <system_error>
#include <vector>

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

// The account the process runs as; empty when the system cannot tell.
std::vector<unsigned char> AccountOf(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    std::vector<unsigned char> account;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
        if (IsValidSid(sid)) {
            const auto* bytes = static_cast<const unsigned char*>(sid);
            account.assign(bytes, bytes + GetLengthSid(sid));
        }
    }
    CloseHandle(token);
    return account;
}

// The last part of an account's SID: the number of the account in its domain.
unsigned RelativeId(std::vector<unsigned char>& account)
{
    if (account.empty())
        return 0;
    PSID sid = account.data();
    const UCHAR parts = *GetSidSubAuthorityCount(sid);
    return parts == 0 ? 0 : static_cast<unsigned>(*GetSidSubAuthority(sid, parts - 1));
}

std::vector<unsigned char>& OwnAccount()
{
    static std::vector<unsigned char> account = AccountOf(GetCurrentProcess());
    return account;
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

// A user is told by the relative id of the account's SID; a peer whose SID
// differs from this user's counts as another user even where the relative
// ids match (an account of another domain): it gets none.
std::optional<unsigned> LocalPeerUser(std::intptr_t pipe)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(pipe);
    DWORD flags = 0;
    if (!GetNamedPipeInfo(handle, &flags, nullptr, nullptr, nullptr))
        return std::nullopt;
    ULONG peer = 0;
    const BOOL known = (flags & PIPE_SERVER_END) ? GetNamedPipeClientProcessId(handle, &peer)
                                                 : GetNamedPipeServerProcessId(handle, &peer);
    if (!known)
        return std::nullopt;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, peer);
    if (!process)
        return std::nullopt;
    std::vector<unsigned char> account = AccountOf(process);
    CloseHandle(process);
    if (account.empty())
        return std::nullopt;
    if (account == OwnAccount())
        return CurrentUser();
    const unsigned id = RelativeId(account);
    return id == CurrentUser() ? std::nullopt : std::optional<unsigned>(id);
}

unsigned CurrentUser() { return RelativeId(OwnAccount()); }

std::unique_ptr<WebPageOpener> MakeWebPageOpener() { return std::make_unique<ShellWebPageOpener>(); }

// Windows frames a window before it is first shown: nothing to estimate.
std::optional<FrameExtents> EstimateFrameExtents(std::uintptr_t) { return std::nullopt; }

void RestoreKeyboardFromJournal() {}

std::vector<std::string> ProgramArguments(int argc, char* argv[])
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

void AttachParentConsole()
{
    const auto leadsNowhere = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) == FILE_TYPE_UNKNOWN;
    };
    const bool output = leadsNowhere(STD_OUTPUT_HANDLE);
    const bool error = leadsNowhere(STD_ERROR_HANDLE);
    if ((!output && !error) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (output && std::freopen("CONOUT$", "w", stdout))
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (error)
        std::freopen("CONOUT$", "w", stderr);
}

}  // namespace kestrun
