#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

namespace kestrun {

class WaylandConnection;

/// The toplevel windows a compositor lists through its foreign toplevel
/// manager, with their app ids, titles and whether each is activated. The
/// list follows the compositor's changes as the connection's round trips
/// bring them in; each toplevel has an id that no other toplevel of any list
/// of the process has.
class ForeignToplevels {
public:
    /// An empty list when the compositor offers no such manager.
    explicit ForeignToplevels(WaylandConnection& connection);
    ~ForeignToplevels();
    ForeignToplevels(const ForeignToplevels&) = delete;
    ForeignToplevels& operator=(const ForeignToplevels&) = delete;

    /// Activates the first toplevel whose app id names one of `programs`
    /// (see AppIdNames). Whether there was one.
    bool Activate(const std::vector<std::string>& programs);

    /// Whether a toplevel's app id names one of `programs`.
    bool Has(const std::vector<std::string>& programs) const;

    /// Whether the compositor offers the list at all.
    bool Offered() const { return manager_ != nullptr; }

    /// The id of the toplevel the compositor has activated, the one with the
    /// keyboard focus; 0 when none is.
    std::uint64_t ActiveId() const;

    /// The title of the toplevel `id`; empty when it is gone.
    std::string Title(std::uint64_t id) const;

private:
    struct Toplevel {
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        std::uint64_t id = 0;
        std::string appId;
        std::string title;
        bool activated = false;
    };

    Toplevel* Of(zwlr_foreign_toplevel_handle_v1* handle);

    const Toplevel* Find(const std::vector<std::string>& programs) const;

    WaylandConnection& connection_;
    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
    std::vector<Toplevel> toplevels_;
};

/// Whether an app id names a program: the same name, letter case ignored, or
/// a reverse domain name that ends with it ("org.example.Editor" names
/// "editor").
bool AppIdNames(const std::string& appId, const std::string& program);

/// The names a process goes by: its command name and its executable's file
/// name; none when it does not run.
std::vector<std::string> ProcessNames(long processId);

}  // namespace kestrun
