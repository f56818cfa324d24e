#pragma once

#include <string_view>

namespace kestrun {

/// Whether two texts are equal when ASCII letters are compared without
/// regard to case (other bytes must match exactly).
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

/// The text without the leading and trailing bytes found in `blanks`.
std::string_view Trim(std::string_view text, std::string_view blanks = " \t");

}  // namespace kestrun
