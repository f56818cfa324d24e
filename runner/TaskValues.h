#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrun {

/// Reads an Enabled text: false only for "False" in any letter case or a
/// number equal to zero; any other text, readable or not, counts as true.
bool ReadEnabled(const std::string& text);

/// The milliseconds a "Wait" value asks for: the number at its start times
/// 1000, rounded half to even. Nothing when that is negative or does not fit
/// a signed 32-bit count.
std::optional<std::uint32_t> WaitMilliseconds(const std::string& value);

}  // namespace kestrun
