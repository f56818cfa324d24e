// Where the X server of a display name listens.

#include "platform/x11/WindowClient.h"

#include <gtest/gtest.h>

namespace kestrun {
namespace {

TEST(WindowClient, ALocalDisplayNamesTheServersSocket)
{
    const std::pair<const char*, const char*> rows[] = {
        {":0", "/tmp/.X11-unix/X0"},
        {":99", "/tmp/.X11-unix/X99"},
        {":12.1", "/tmp/.X11-unix/X12"},
        {"unix:3", "/tmp/.X11-unix/X3"},
        {"localhost:10.0", ""},  // over TCP: no socket here
        {"host:0", ""},
        {":", ""},
        {":x", ""},
        {":1x", ""},
        {"", ""},
    };
    for (const auto& [name, address] : rows)
        EXPECT_EQ(DisplaySocketAddress(name), address) << name;
}

}  // namespace
}  // namespace kestrun
