// Reading the compositors' JSON replies: what a well-formed reply says, and
// that a truncated or oddly typed one counts as saying nothing.

#include "platform/wayland/CompositorIpc.h"
#include "platform/wayland/SwayEvents.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>

namespace kestrun {
namespace {

TEST(CompositorIpcTest, ProcessIdsComeFromEveryNodeOfAListing)
{
    const std::pair<const char*, std::set<long>> cases[] = {
        // sway's window tree
        {R"({ "pid": 12, "nodes": [ { "pid":345 }, { "app_id": "pid", "pid" : 6 } ] })", {6, 12, 345}},
        {R"({"nodes": [{"nodes": [{"floating_nodes": [{"pid": 77}]}]}]})", {77}},
        // Hyprland's client list
        {R"([{"class": "foot", "pid": 41}, {"class": "foot", "pid": 42}, {"pid": 41}])", {41, 42}},
        // a name that mentions a pid, and members that hold no process id
        {R"({ "pid": null, "name": "\"pid\": 7 is text", "pid": -3 })", {}},
        {R"({"pid": "12", "nodes": [{"pid": true}, {"pid": 0}, {"pid": 2.5}, {"pid": [8]}]})", {}},
        // truncated or no JSON at all
        {R"({"pid": 12, "nodes": [{"pid": 34})", {}},
        {"", {}},
        {"ok", {}},
    };
    for (const auto& [json, pids] : cases)
        EXPECT_EQ(PidsInJson(json), pids) << json;
}

TEST(CompositorIpcTest, ACommandSucceedsOnlyWhenSwaySaysSo)
{
    const std::pair<const char*, bool> cases[] = {
        {R"([ { "success": true } ])", true},
        {R"([{"success":true}])", true},
        {R"([ { "success": false, "parse_error": false, "error": "No matching node." } ])", false},
        {R"([ { "success": "true" } ])", false},
        {R"([ { "error": "\"success\": true" } ])", false},
        {R"({ "success": true })", false},  // sway answers with one result per command
        {R"([ { "success": true )", false},
        {"", false},
    };
    for (const auto& [json, succeeded] : cases)
        EXPECT_EQ(SwayCommandSucceeded(json), succeeded) << json;
}

// A tree with a tiled and a floating window on one workspace; `focused` marks one node.
std::string Tree(const char* focused)
{
    const auto mark = [&](const char* node) { return std::string(R"("focused": )") + (std::string(focused) == node ? "true" : "false"); };
    return R"({"id": 1, "name": "root", "type": "root", )" + mark("root") + R"(, "nodes": [
      {"id": 4, "name": "1", "type": "workspace", )" + mark("workspace") + R"(, "nodes": [
        {"id": 7, "name": "Notes – Editor", "type": "con", "pid": 70, "shell": "xdg_shell", )" + mark("tiled") + R"(, "nodes": []}],
       "floating_nodes": [
        {"id": 9, "name": "xterm", "type": "floating_con", "pid": 90, "shell": "xwayland", )" + mark("floating") + R"(}]}]})";
}

TEST(CompositorIpcTest, TheFocusedWindowOfSwaysTreeWithItsIdAndTitle)
{
    const std::pair<std::string, std::optional<FocusedWindow>> cases[] = {
        {Tree("tiled"), FocusedWindow{70, false, 7, "Notes – Editor"}},
        {Tree("floating"), FocusedWindow{90, true, 9, "xterm"}},
        {Tree("workspace"), std::nullopt},  // an empty workspace: no window has the focus
        {Tree("none"), std::nullopt},
        {R"({"focused": true, "id": 3, "name": "x"})", std::nullopt},  // no process: no window
        {R"({"focused": true, "id": -3, "pid": 5})", FocusedWindow{5, false, 0, ""}},
        {R"({"nodes": [{"pid": 7, "focused": true, "shell": "xdg_shell"})", std::nullopt},  // truncated
        {"", std::nullopt},
    };
    for (const auto& [json, focused] : cases)
        EXPECT_EQ(FocusedInTree(json), focused) << json;
}

TEST(CompositorIpcTest, ATitleIsFoundByItsNodeAnywhereInTheTree)
{
    const std::pair<std::uint64_t, std::optional<std::string>> cases[] = {
        {7, "Notes – Editor"}, {9, "xterm"}, {4, "1"}, {8, std::nullopt}, {0, std::nullopt},
        {std::uint64_t(1) << 63, std::nullopt},
    };
    for (const auto& [id, title] : cases)
        EXPECT_EQ(TitleInTree(Tree("tiled"), id), title) << id;
    EXPECT_EQ(TitleInTree(R"({"id": 7, "name": "trunc)", 7), std::nullopt);
    // The process that owns a node: none for a workspace, or one that names none or a bad one.
    const std::pair<std::uint64_t, std::optional<long>> owners[] = {{7, 70}, {9, 90}, {4, std::nullopt}, {8, std::nullopt}};
    for (const auto& [id, pid] : owners)
        EXPECT_EQ(OwnerInTree(Tree("tiled"), id), pid) << id;
    EXPECT_EQ(OwnerInTree(R"({"id": 7, "pid": -70})", 7), std::nullopt);
    EXPECT_EQ(OwnerInTree(R"({"id": 7, "pid": "70"})", 7), std::nullopt);
}

TEST(CompositorIpcTest, WindowEventsSayWhatChangedForWhichContainer)
{
    const std::pair<const char*, std::optional<SwayWindowChange>> cases[] = {
        {R"({"change": "focus", "container": {"id": 12, "name": "foot", "focused": true}})", SwayWindowChange{"focus", 12, "foot"}},
        {R"({"change": "focus", "container": {"id": 13, "name": "Open", "pid": 4321}})", SwayWindowChange{"focus", 13, "Open", 4321}},
        {R"({"change": "focus", "container": {"id": 13, "pid": -4}})", SwayWindowChange{"focus", 13, "", 0}},
        {R"({"change": "close", "container": {"id": 12}})", SwayWindowChange{"close", 12, ""}},
        {R"({"change": "title", "container": {"id": 0, "name": "new"}})", SwayWindowChange{"title", 0, "new"}},
        {R"({"change": "focus", "container": {"name": "no id"}})", std::nullopt},
        {R"({"change": "focus", "container": {"id": "12"}})", std::nullopt},
        {R"({"change": 1, "container": {"id": 12}})", std::nullopt},
        {R"({"change": "focus", "current": {"id": 4}})", std::nullopt},  // a workspace event
        {R"({"change": "focus", "container": {"id": 12)", std::nullopt},
    };
    for (const auto& [json, change] : cases)
        EXPECT_EQ(ReadWindowEvent(json), change) << json;
    EXPECT_TRUE(IsWorkspaceFocus(R"({"change": "focus", "old": {"id": 4}, "current": {"id": 5}})"));
    EXPECT_FALSE(IsWorkspaceFocus(R"({"change": "init", "current": {"id": 5}})"));
    EXPECT_FALSE(IsWorkspaceFocus("focus"));
}

}  // namespace
}  // namespace kestrun
