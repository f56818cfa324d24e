#pragma once

#include "platform/wayland/LocalSocket.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrun {

/// One message of sway's IPC: its type (events have the high bit set) and
/// its JSON payload.
struct SwayIpcMessage {
    std::uint32_t type = 0;
    std::string payload;
};

inline constexpr std::uint32_t kSwayWorkspaceEvent = 0x80000000u | 0;
inline constexpr std::uint32_t kSwayWindowEvent = 0x80000000u | 3;

/// A message in sway's framing: magic, length, type, payload.
std::string SwayFrame(std::uint32_t type, const std::string& payload);

/// The next message on `socket`; nothing when the socket fails or what comes
/// is not sway's framing.
std::optional<SwayIpcMessage> ReadSwayMessage(const LocalSocket& socket);

/// A connection to sway's IPC socket (SWAYSOCK) subscribed to some of its
/// events, which sway queues on it as they happen.
class SwayEventStream {
public:
    /// Subscribes to `events`, a JSON array of event names; nullptr when no
    /// sway answers or it refuses the subscription.
    static std::unique_ptr<SwayEventStream> Subscribe(const std::string& events);

    /// The events sway sent since the last call, up to its answer to a
    /// request sent now: every event of a change sway made before it read the
    /// request is among them. Nothing when the socket fails or sway does not
    /// answer within `patience`.
    std::optional<std::vector<SwayIpcMessage>> Collect(std::chrono::milliseconds patience);

private:
    explicit SwayEventStream(const std::string& path) : socket_(path) {}

    LocalSocket socket_;
};

/// What a window event of sway says: the change ("focus", "close", "title",
/// ...) and the container's id, name and process (0: not told).
struct SwayWindowChange {
    std::string change;
    std::uint64_t id = 0;
    std::string title;
    long pid = 0;

    bool operator==(const SwayWindowChange&) const = default;
};

/// Reads a window event's payload; nothing when it is no such event.
std::optional<SwayWindowChange> ReadWindowEvent(const std::string& json);

/// Whether a workspace event's payload tells that another workspace took the
/// focus.
bool IsWorkspaceFocus(const std::string& json);

}  // namespace kestrun
