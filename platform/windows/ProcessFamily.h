#pragma once

#include <cstdint>
#include <vector>

namespace kestrun {

/// The process `root` and every running process it started, directly or
/// through others, from one snapshot of the system's processes; `root` comes
/// first. Empty when neither `root` nor any descendant of it runs.
std::vector<std::uint32_t> ProcessFamily(std::uint32_t root);

}  // namespace kestrun
