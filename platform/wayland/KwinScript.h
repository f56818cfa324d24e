#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace kestrun {

/// Runs a script in KWin's scripting, over the session bus (org.kde.KWin
/// /Scripting), and waits for the one word it reports back.
///
/// The script is given as a function body; it reports with `report(word)`,
/// a function the script gets that calls back to this process over the bus.
/// Only text this program writes goes into a script: numbers it formats
/// itself, never a value of the task document.
class KwinScript {
public:
    /// What the script reported; nullopt when KWin is not on the session
    /// bus, the script failed to load or reported nothing within `patience`.
    static std::optional<std::string> Run(const std::string& body, std::chrono::milliseconds patience);
};

}  // namespace kestrun
