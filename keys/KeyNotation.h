#pragma once

#include "keys/KeyNames.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

/// The most strokes one key sequence may expand to, repeats included.
inline constexpr std::size_t kMaxKeyStrokes = 100000;
/// The largest count of a {key n} repeat.
inline constexpr std::size_t kMaxRepeatCount = 10000;

/// A key sequence read from the send-keys notation: the strokes to type, or,
/// when the text is malformed, an error message and no strokes at all.
struct KeySequence {
    std::vector<KeyStroke> strokes;
    std::string error;

    bool ok() const { return error.empty(); }
};

/// Reads a whole text in the send-keys notation (UTF-8):
/// - any character types itself; newline (and CR LF) and "~" are Enter, a tab
///   character is Tab;
/// - "+", "^" and "%" hold Shift, Ctrl and Alt for the next key or for a
///   parenthesised group, "+(ab)";
/// - braces name a key ("{ENTER}", "{f5}"), quote a character ("{+}", "{{}",
///   "{}}", "{~}") and repeat either ("{TAB 3}", "{x 10}").
/// A malformed text (unbalanced braces or parentheses, an unknown key name, a
/// bad repeat count, a modifier with nothing to act on, invalid UTF-8, a
/// control character) gives an error that says what and where.
KeySequence ParseKeySequence(std::string_view text);

/// The canonical notation of strokes: parsing it gives the same strokes.
std::string FormatKeySequence(const std::vector<KeyStroke>& strokes);

}  // namespace kestrun
