#pragma once

#include <string_view>
#include <vector>

namespace kestrun {

/// Whether two texts are equal when ASCII letters are compared without
/// regard to case (other bytes must match exactly).
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

/// The words of a line, split at single spaces; runs of spaces give no
/// empty words.
std::vector<std::string_view> Words(std::string_view line);

/// The text without the leading and trailing bytes found in `blanks`.
std::string_view Trim(std::string_view text, std::string_view blanks = " \t");

}  // namespace kestrun
