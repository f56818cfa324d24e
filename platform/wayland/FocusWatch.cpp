#include "platform/wayland/FocusWatch.h"

#include "platform/PlatformError.h"
#include "platform/wayland/CompositorIpc.h"
#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/SwayEvents.h"
#include "platform/wayland/WaylandConnection.h"

#include <cstdlib>

namespace kestrun {

namespace {

// Sway answers its IPC between two frames; a sway that keeps silent this long
// is stuck or gone.
constexpr auto kSwayPatience = std::chrono::seconds(5);

class SwayFocusWatch : public FocusWatch {
public:
    SwayFocusWatch(std::unique_ptr<SwayEventStream> events, std::optional<FocusedWindow> focused)
        : events_(std::move(events)), id_(focused ? focused->id : 0), pid_(focused ? focused->pid : 0),
          title_(focused ? focused->title : "")
    {
    }

    bool Kept() override
    {
        if (lost_)
            return false;
        const auto events = events_->Collect(kSwayPatience);
        if (!events)
            throw PlatformError("Sway no longer tells which window has the focus.");
        bool lookAgain = false;
        for (const SwayIpcMessage& event : *events) {
            if (event.type == kSwayWorkspaceEvent) {
                lookAgain = lookAgain || IsWorkspaceFocus(event.payload);
                continue;
            }
            const auto change = ReadWindowEvent(event.payload);
            if (!change || lost_)
                continue;
            if (change->change == "focus" && change->id != id_)
                Follow(change->id, change->pid, change->title);
            else if (change->change == "close" && change->id == id_)
                lookAgain = true;  // the focus goes elsewhere next, maybe to a window of the same program
            else if (change->change == "title" && change->id == id_)
                title_ = change->title;
        }
        // Focus on a workspace of its own (an empty one) comes without a
        // window event; so may the focus after the window closed.
        if (!lost_ && lookAgain) {
            const auto tree = SwayRequest(SwayMessage::GetTree, "");
            if (!tree)
                throw PlatformError("Sway no longer tells which window has the focus.");
            const auto focused = FocusedInTree(*tree);
            if (!focused)
                lost_ = true;
            else if (focused->id != id_)
                Follow(focused->id, focused->pid, focused->title);
        }
        return !lost_;
    }

    std::string Title() const override { return title_; }

private:
    // Another window has the focus: a window of the same process (a dialog
    // the keys opened) takes the keys from now on; any other ends the typing.
    void Follow(std::uint64_t id, long pid, const std::string& title)
    {
        if (pid_ <= 0 || pid != pid_) {
            lost_ = true;
            return;
        }
        id_ = id;
        title_ = title;
    }

    std::unique_ptr<SwayEventStream> events_;
    std::uint64_t id_;
    long pid_;
    std::string title_;
    bool lost_ = false;
};

class ToplevelFocusWatch : public FocusWatch {
public:
    ToplevelFocusWatch(WaylandConnection& connection, std::unique_ptr<ForeignToplevels> toplevels)
        : connection_(connection), toplevels_(std::move(toplevels)), id_(toplevels_->ActiveId()),
          title_(toplevels_->Title(id_))
    {
    }

    bool Kept() override
    {
        if (lost_)
            return false;
        // Events come in order: each change made before the answer is in.
        connection_.RoundTrip();
        if (toplevels_->ActiveId() != id_)
            lost_ = true;
        else if (id_ != 0)
            title_ = toplevels_->Title(id_);
        return !lost_;
    }

    std::string Title() const override { return title_; }

private:
    WaylandConnection& connection_;
    std::unique_ptr<ForeignToplevels> toplevels_;
    std::uint64_t id_;
    std::string title_;
    bool lost_ = false;
};

}  // namespace

std::unique_ptr<FocusWatch> WatchFocus(WaylandConnection& connection)
{
    if (const char* socket = std::getenv("SWAYSOCK"); socket && *socket) {
        // Subscribed first: no change between the look at the tree and the
        // first batch of keys goes unseen.
        if (auto events = SwayEventStream::Subscribe(R"(["window","workspace"])")) {
            if (const auto tree = SwayRequest(SwayMessage::GetTree, ""))
                return std::make_unique<SwayFocusWatch>(std::move(events), FocusedInTree(*tree));
        }
    }
    auto toplevels = std::make_unique<ForeignToplevels>(connection);
    if (!toplevels->Offered())
        return nullptr;
    return std::make_unique<ToplevelFocusWatch>(connection, std::move(toplevels));
}

}  // namespace kestrun
