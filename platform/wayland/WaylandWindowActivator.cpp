#include "platform/wayland/WaylandWindowActivator.h"

#include "platform/PlatformError.h"
#include "platform/WindowWait.h"
#include "platform/posix/ProcessTree.h"
#include "platform/wayland/CompositorIpc.h"
#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/WaylandConnection.h"

#include <algorithm>
#include <cstdlib>

namespace kestrun {

namespace {

// A run asks about the window it typed into and the one active after a Wait.
constexpr std::size_t kOwnersKept = 8;

bool Runs(const char* compositorVariable)
{
    const char* value = std::getenv(compositorVariable);
    return value && *value;
}

std::vector<std::string> FamilyNames(const std::vector<long>& family)
{
    std::vector<std::string> names;
    for (long pid : family)
        for (std::string& name : ProcessNames(pid))
            names.push_back(std::move(name));
    return names;
}

// The first of `family` that owns a window in the compositor's listing.
std::optional<long> FirstWithWindow(const std::vector<long>& family, const std::optional<std::string>& listing)
{
    if (!listing)
        return std::nullopt;
    const std::set<long> owners = PidsInJson(*listing);
    for (long pid : family)
        if (owners.count(pid))
            return pid;
    return std::nullopt;
}

std::optional<long> SwayWindowOwner(const std::vector<long>& family)
{
    return FirstWithWindow(family, SwayRequest(SwayMessage::GetTree, ""));
}

std::optional<long> HyprlandWindowOwner(const std::vector<long>& family)
{
    return FirstWithWindow(family, HyprlandRequest("j/clients"));
}

bool HasWindow(const std::vector<long>& family)
{
    if (Runs("SWAYSOCK"))
        return SwayWindowOwner(family).has_value();
    if (Runs("HYPRLAND_INSTANCE_SIGNATURE"))
        return HyprlandWindowOwner(family).has_value();
    const auto connection = WaylandConnection::Open();
    return connection && ForeignToplevels(*connection).Has(FamilyNames(family));
}

}  // namespace

WaylandWindowActivator::WaylandWindowActivator(std::function<bool()> stopRequested)
    : stopRequested_(std::move(stopRequested))
{
}

WaylandWindowActivator::~WaylandWindowActivator() = default;

ForeignToplevels* WaylandWindowActivator::Toplevels()
{
    try {
        if (toplevels_) {
            connection_->RoundTrip();
            return toplevels_.get();
        }
        connection_ = WaylandConnection::Open();
        if (connection_)
            toplevels_ = std::make_unique<ForeignToplevels>(*connection_);
        if (toplevels_ && toplevels_->Offered())
            return toplevels_.get();
    } catch (const PlatformError&) {
        // A lost connection: the next question makes a new one.
    }
    toplevels_.reset();
    connection_.reset();
    return nullptr;
}

std::uint64_t WaylandWindowActivator::ActiveWindowId()
{
    if (Runs("SWAYSOCK")) {
        const auto tree = SwayRequest(SwayMessage::GetTree, "");
        const auto focused = tree ? FocusedInTree(*tree) : std::nullopt;
        if (!focused)
            return 0;
        std::erase_if(owners_, [&](const auto& known) { return known.first == focused->id; });
        owners_.emplace_front(focused->id, focused->pid);
        if (owners_.size() > kOwnersKept)
            owners_.pop_back();
        return focused->id;
    }
    ForeignToplevels* toplevels = Toplevels();
    return toplevels ? toplevels->ActiveId() : 0;
}

std::string WaylandWindowActivator::WindowTitle(std::uint64_t id)
{
    if (Runs("SWAYSOCK")) {
        const auto tree = SwayRequest(SwayMessage::GetTree, "");
        return tree ? TitleInTree(*tree, id).value_or("") : "";
    }
    ForeignToplevels* toplevels = Toplevels();
    return toplevels && id != 0 ? toplevels->Title(id) : "";
}

bool WaylandWindowActivator::SameApplication(std::uint64_t noted, std::uint64_t other)
{
    if (noted != 0 && noted == other)
        return true;
    const auto known = std::find_if(owners_.begin(), owners_.end(), [&](const auto& owner) { return owner.first == noted; });
    if (known == owners_.end() || known->second <= 0 || !Runs("SWAYSOCK"))
        return false;
    const auto tree = SwayRequest(SwayMessage::GetTree, "");
    return tree && OwnerInTree(*tree, other) == known->second;
}

void WaylandWindowActivator::Activate(std::int32_t taskId)
{
    if (taskId <= 0)
        throw PlatformError("No program was started.");
    const std::vector<long> family = ProcessFamily(taskId);
    if (family.empty())
        throw PlatformError("The program has ended.");
    // The process id is the only value that goes into a command.
    if (Runs("SWAYSOCK")) {
        const auto owner = SwayWindowOwner(family);
        const auto reply = owner ? SwayRequest(SwayMessage::RunCommand, "[pid=" + std::to_string(*owner) + "] focus")
                                 : std::nullopt;
        if (reply && SwayCommandSucceeded(*reply))
            return;
    } else if (Runs("HYPRLAND_INSTANCE_SIGNATURE")) {
        const auto owner = HyprlandWindowOwner(family);
        if (owner && HyprlandRequest("dispatch focuswindow pid:" + std::to_string(*owner)) == "ok")
            return;
    } else if (const auto connection = WaylandConnection::Open();
               connection && ForeignToplevels(*connection).Activate(FamilyNames(family))) {
        return;
    }
    throw PlatformError("The program has no window.");
}

bool WaylandWindowActivator::WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit)
{
    if (taskId <= 0)
        return false;
    return WaitForWindowWith(
        [taskId] {
            const std::vector<long> family = ProcessFamily(taskId);
            if (family.empty())
                return WindowLook::Ended;
            return HasWindow(family) ? WindowLook::Found : WindowLook::Pending;
        },
        limit, [this] { return Stopping(); });
}

}  // namespace kestrun
