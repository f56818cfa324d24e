#include "platform/posix/GioWebPageOpener.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// On a private desktop (no display, no session bus, no GIO modules of the
// machine) where http addresses go to a script that writes what it is given.
TEST(GioWebPageOpenerTest, HandsTheAddressToTheRegisteredBrowserOrFails)
{
    TempFolder folder;
    const fs::path opened = folder / "opened";
    const fs::path browser = folder.Write("browser.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened.string() + "'\n");
    fs::permissions(browser, fs::perms::owner_all);
    fs::create_directories(folder / "data/applications");
    fs::create_directories(folder / "config");
    folder.Write("data/applications/browser.desktop", "[Desktop Entry]\nType=Application\nName=Browser\nExec=" +
                                                          browser.string() + " %u\nMimeType=x-scheme-handler/http;\n");
    folder.Write("config/mimeapps.list", "[Default Applications]\nx-scheme-handler/http=browser.desktop\n");
    for (const auto& [name, value] : {std::pair<const char*, fs::path>{"XDG_DATA_HOME", folder / "data"},
                                      {"XDG_CONFIG_HOME", folder / "config"}, {"XDG_DATA_DIRS", folder / "none"},
                                      {"HOME", folder.path()}, {"GIO_USE_VFS", "local"},
                                      {"GIO_MODULE_DIR", folder / "none"}})
        setenv(name, value.c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");

    GioWebPageOpener opener;
    for (const char* address : {"", "not an address", "nowhere://www.quillonworks.example"})
        EXPECT_FALSE(opener.OpenAddress(address)) << address;
    ASSERT_TRUE(opener.OpenAddress("http://www.quillonworks.example/index.asp?Page=dovu"));
    for (int k = 0; k < 250 && (!fs::exists(opened) || fs::is_empty(opened)); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(fs::exists(opened) ? folder.Read("opened") : "", "http://www.quillonworks.example/index.asp?Page=dovu");
}

}  // namespace
}  // namespace kestrun::test
