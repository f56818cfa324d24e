#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace kestrun {

/// Sway's IPC message types that Kestrun sends.
enum class SwayMessage : std::uint32_t { RunCommand = 0, GetTree = 4, GetInputs = 100 };

/// Sends one message over the IPC socket that SWAYSOCK names and returns the
/// reply's payload; nothing when there is no such socket or it fails.
std::optional<std::string> SwayRequest(SwayMessage type, const std::string& payload);

/// Sends one request over Hyprland's control socket (found through
/// HYPRLAND_INSTANCE_SIGNATURE) and returns the reply; nothing when there is
/// no such socket or it fails.
std::optional<std::string> HyprlandRequest(const std::string& request);

/// The window with the keyboard focus: its process, whether it is an X
/// program under XWayland, and, from sway, its container's id (0 when not
/// known) and title.
struct FocusedWindow {
    long pid = 0;
    bool x11 = false;
    std::uint64_t id = 0;
    std::string title;

    bool operator==(const FocusedWindow&) const = default;
};

/// The focused window as sway or Hyprland tell; nothing when neither answers
/// or no window has the focus.
std::optional<FocusedWindow> FocusedWindowNow();

/// The focused node of sway's window tree (get_tree).
std::optional<FocusedWindow> FocusedInTree(const std::string& json);

/// The title of the node `id` of sway's window tree; nothing when there is
/// no such node.
std::optional<std::string> TitleInTree(const std::string& json, std::uint64_t id);

/// The process that owns the node `id` of sway's window tree; nothing when
/// there is no such node or it names none.
std::optional<long> OwnerInTree(const std::string& json, std::uint64_t id);

/// Every positive whole number given as a "pid" member anywhere in a JSON
/// text: the processes that own windows in a compositor's window tree or
/// client list. None when the text is no JSON document.
std::set<long> PidsInJson(const std::string& json);

/// Whether sway's reply to run_command says a command succeeded.
bool SwayCommandSucceeded(const std::string& json);

}  // namespace kestrun
