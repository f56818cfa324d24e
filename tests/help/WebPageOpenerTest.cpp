#include "platform/linux/GioWebPageOpener.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// A private desktop (data, config, no display, no session bus) where
// `scheme` URLs go to a script that writes the address it is given.
class PrivateDesktop {
public:
    explicit PrivateDesktop(const std::string& handledScheme)
    {
        fs::create_directories(folder / "data/applications");
        fs::create_directories(folder / "config");
        fs::create_directories(folder / "shared");
        const auto script = folder.Write("browser.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker.string() + "'\n");
        fs::permissions(script, fs::perms::owner_all);
        if (!handledScheme.empty()) {
            folder.Write("data/applications/kestrun-test-browser.desktop",
                         "[Desktop Entry]\nType=Application\nName=Browser\nExec=" + script.string() +
                             " %u\nMimeType=x-scheme-handler/" + handledScheme + ";\n");
            folder.Write("config/mimeapps.list", "[Default Applications]\nx-scheme-handler/" + handledScheme +
                                                     "=kestrun-test-browser.desktop\n");
        }
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        setenv("XDG_DATA_DIRS", (folder / "shared").c_str(), 1);
        setenv("HOME", folder.path().c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        // GIO's own modules (gvfs) would offer handlers of the machine.
        setenv("GIO_USE_VFS", "local", 1);
        setenv("GIO_MODULE_DIR", (folder / "no-modules").c_str(), 1);
    }

    /// What the browser was given, once it has run.
    std::string Received() const
    {
        for (int k = 0; k < 250 && (!fs::exists(marker) || folder.Read("opened").empty()); ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return fs::exists(marker) ? folder.Read("opened") : "<nothing>";
    }

    TempFolder folder;
    fs::path marker = folder / "opened";
};

TEST(GioWebPageOpenerTest, HandsTheAddressToTheRegisteredBrowser)
{
    PrivateDesktop desktop("http");
    GioWebPageOpener opener;
    ASSERT_TRUE(opener.OpenAddress("http://www.quillonworks.example/index.asp?Page=dovu"));
    EXPECT_EQ(desktop.Received(), "http://www.quillonworks.example/index.asp?Page=dovu");
}

TEST(GioWebPageOpenerTest, FailsWithoutABrowserOrWithoutAnAddress)
{
    PrivateDesktop desktop("");
    GioWebPageOpener opener;
    EXPECT_FALSE(opener.OpenAddress("http://www.quillonworks.example"));
    EXPECT_FALSE(opener.OpenAddress(""));
    EXPECT_FALSE(opener.OpenAddress("not an address"));
}

}  // namespace
}  // namespace kestrun::test
