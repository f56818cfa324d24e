// The free-standing services of the no-op platform: nothing to listen on, no
// signals to catch, no login start, no web browser, no window frames. The
// user's folders follow the XDG environment variables, which need no system,
// with the temporary folder standing in for a missing home.
#include "platform/KeyboardRecovery.h"
#include "platform/LocalListener.h"
#include "platform/LoginStart.h"
#include "platform/PlatformError.h"
#include "platform/TerminationSignals.h"
#include "platform/UserFolders.h"
#include "platform/WebPageOpener.h"
#include "platform/WindowFrame.h"
#include "platform/none/NoPlatformServices.h"

#include <cstdlib>
#include <system_error>

namespace kestrun {

namespace {

class NoLoginStart : public LoginStart {
public:
    bool Enabled() const override { return false; }
    void SetEnabled(bool) override { throw PlatformError(kNotAvailableHere); }
};

class NoWebPageOpener : public WebPageOpener {
public:
    bool OpenAddress(const std::string&) override { return false; }
};

std::filesystem::path HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    std::error_code error;
    const auto temporary = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/") : temporary / "kestrun";
}

std::filesystem::path BaseFolder(const char* variable, const char* fallbackInHome)
{
    const char* value = std::getenv(variable);
    if (value && std::filesystem::path(value).is_absolute())
        return value;
    return HomeFolder() / fallbackInHome;
}

}  // namespace

LocalListener::~LocalListener() = default;

bool LocalListener::Listen(const std::filesystem::path&, std::string& error)
{
    error = kNotAvailableHere;
    return false;
}

LocalListener::Accepted LocalListener::Accept() { return {}; }

void LocalListener::Close() {}

std::unique_ptr<LoginStart> MakeLoginStart(const std::filesystem::path&) { return std::make_unique<NoLoginStart>(); }

void CatchTerminationSignals() {}
bool TerminationRequested() { return false; }
int TerminationDescriptor() { return -1; }

std::filesystem::path UserConfigFolder() { return BaseFolder("XDG_CONFIG_HOME", ".config"); }
std::filesystem::path UserDataFolder() { return BaseFolder("XDG_DATA_HOME", ".local/share"); }

std::filesystem::path UserRuntimeFolder(std::string* refused)
{
    if (refused)
        *refused = kNotAvailableHere;
    return {};
}

std::string UntrustedFolderReason(const std::filesystem::path&) { return kNotAvailableHere; }
std::optional<unsigned> LocalPeerUser(std::intptr_t) { return std::nullopt; }
unsigned CurrentUser() { return 0; }

std::unique_ptr<WebPageOpener> MakeWebPageOpener() { return std::make_unique<NoWebPageOpener>(); }

std::optional<FrameExtents> EstimateFrameExtents(std::uintptr_t) { return std::nullopt; }

void RestoreKeyboardFromJournal() {}

}  // namespace kestrun
