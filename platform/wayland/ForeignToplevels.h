#pragma once

#include <string>
#include <vector>

struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

namespace kestrun {

class WaylandConnection;

/// The toplevel windows a compositor lists through its foreign toplevel
/// manager, with their app ids, as they are when the
/// list is made.
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

private:
    struct Toplevel {
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        std::string appId;
    };

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
