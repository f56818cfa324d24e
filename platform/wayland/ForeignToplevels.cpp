#include "platform/wayland/ForeignToplevels.h"

#include "core/AsciiText.h"
#include "platform/wayland/WaylandConnection.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <atomic>
#include <filesystem>
#include <fstream>

namespace kestrun {

bool AppIdNames(const std::string& appId, const std::string& program)
{
    if (program.empty())
        return false;
    if (EqualsIgnoringAsciiCase(appId, program))
        return true;
    const std::size_t dot = appId.rfind('.');
    return dot != std::string::npos && EqualsIgnoringAsciiCase(std::string_view(appId).substr(dot + 1), program);
}

std::vector<std::string> ProcessNames(long processId)
{
    std::vector<std::string> names;
    const std::filesystem::path folder = "/proc/" + std::to_string(processId);
    std::string comm;
    if (std::ifstream in(folder / "comm"); std::getline(in, comm) && !comm.empty())
        names.push_back(comm);
    std::error_code error;
    const auto exe = std::filesystem::read_symlink(folder / "exe", error);
    if (!error && !exe.filename().empty() && exe.filename() != comm)
        names.push_back(exe.filename().string());
    return names;
}

ForeignToplevels::ForeignToplevels(WaylandConnection& connection) : connection_(connection)
{
    static const zwlr_foreign_toplevel_handle_v1_listener handleListener = {
        [](void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title) {
            if (Toplevel* toplevel = static_cast<ForeignToplevels*>(data)->Of(handle))
                toplevel->title = title ? title : "";
        },
        [](void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId) {
            if (Toplevel* toplevel = static_cast<ForeignToplevels*>(data)->Of(handle))
                toplevel->appId = appId ? appId : "";
        },
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        [](void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
            Toplevel* toplevel = static_cast<ForeignToplevels*>(data)->Of(handle);
            if (!toplevel)
                return;
            toplevel->activated = false;
            const auto* state = static_cast<const std::uint32_t*>(states->data);
            for (std::size_t i = 0; i < states->size / sizeof *state; ++i)
                toplevel->activated = toplevel->activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        },
        [](void*, zwlr_foreign_toplevel_handle_v1*) {},
        [](void* data, zwlr_foreign_toplevel_handle_v1* handle) {
            auto& toplevels = static_cast<ForeignToplevels*>(data)->toplevels_;
            std::erase_if(toplevels, [handle](const Toplevel& toplevel) { return toplevel.handle == handle; });
            zwlr_foreign_toplevel_handle_v1_destroy(handle);
        },
        // Bound at version 1, the handles never tell their parents.
        [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
    };
    static const zwlr_foreign_toplevel_manager_v1_listener managerListener = {
        [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
            auto* self = static_cast<ForeignToplevels*>(data);
            // Unique in the process: a list made anew after a lost connection
            // never takes a window for one of an earlier list.
            static std::atomic<std::uint64_t> lastId{0};
            self->toplevels_.push_back({handle, ++lastId, {}, {}, false});
            zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, self);
        },
        [](void*, zwlr_foreign_toplevel_manager_v1*) {},
    };
    manager_ = connection_.BindToplevels();
    if (!manager_)
        return;
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &managerListener, this);
    // The first round trip brings the toplevels, the second their details.
    connection_.RoundTrip();
    connection_.RoundTrip();
}

ForeignToplevels::~ForeignToplevels()
{
    for (const Toplevel& toplevel : toplevels_)
        zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
    if (manager_) {
        zwlr_foreign_toplevel_manager_v1_stop(manager_);
        zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    }
    wl_display_flush(connection_.display());
}

const ForeignToplevels::Toplevel* ForeignToplevels::Find(const std::vector<std::string>& programs) const
{
    for (const std::string& program : programs)
        for (const Toplevel& toplevel : toplevels_)
            if (AppIdNames(toplevel.appId, program))
                return &toplevel;
    return nullptr;
}

ForeignToplevels::Toplevel* ForeignToplevels::Of(zwlr_foreign_toplevel_handle_v1* handle)
{
    for (Toplevel& toplevel : toplevels_)
        if (toplevel.handle == handle)
            return &toplevel;
    return nullptr;
}

std::uint64_t ForeignToplevels::ActiveId() const
{
    for (const Toplevel& toplevel : toplevels_)
        if (toplevel.activated)
            return toplevel.id;
    return 0;
}

std::string ForeignToplevels::Title(std::uint64_t id) const
{
    for (const Toplevel& toplevel : toplevels_)
        if (toplevel.id == id)
            return toplevel.title;
    return {};
}

bool ForeignToplevels::Has(const std::vector<std::string>& programs) const { return Find(programs) != nullptr; }

bool ForeignToplevels::Activate(const std::vector<std::string>& programs)
{
    const Toplevel* toplevel = Find(programs);
    if (!toplevel || !connection_.seat())
        return false;
    zwlr_foreign_toplevel_handle_v1_activate(toplevel->handle, connection_.seat());
    connection_.RoundTrip();
    return true;
}

}  // namespace kestrun
