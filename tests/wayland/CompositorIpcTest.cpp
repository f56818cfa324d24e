// Reading the compositors' JSON replies: what a well-formed reply says, and
// that a truncated or oddly typed one counts as saying nothing.

#include "platform/wayland/CompositorIpc.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
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

TEST(CompositorIpcTest, TheFocusedNodeOfSwaysTreeNamesItsProcess)
{
    const std::pair<const char*, std::optional<FocusedWindow>> cases[] = {
        {R"({"focused": false, "nodes": [{"pid": 5, "focused": false, "nodes": []},
             {"nodes": [{"pid": 7, "focused": true, "shell": "xdg_shell"}]}]})", FocusedWindow{7, false}},
        {R"({"nodes": [], "floating_nodes": [{"pid": 9, "focused": true, "shell": "xwayland"}]})", FocusedWindow{9, true}},
        {R"({"focused": true, "name": "root"})", std::nullopt},  // the focus is on no window
        {R"({"nodes": [{"pid": 5}]})", std::nullopt},
        {R"({"nodes": [{"pid": 7, "focused": true, "shell": "xdg_shell"})", std::nullopt},  // truncated
        {"not json", std::nullopt},
    };
    for (const auto& [tree, pid] : cases)
        EXPECT_EQ(FocusedInTree(tree), pid) << tree;
}

}  // namespace
}  // namespace kestrun
