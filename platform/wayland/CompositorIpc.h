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

/// Every number given as a "pid" member anywhere in a JSON text: the processes
/// that own windows in a compositor's window tree or client list.
std::set<long> PidsInJson(const std::string& json);

}  // namespace kestrun
