#pragma once

namespace kestrun {

/// The character code of backspace, which the digit filter lets through.
inline constexpr int kBackspaceCode = 8;

/// The digit filter of a numbers-only text box: returns a typed character's
/// code unchanged when it is a digit "0" to "9" or backspace, and 0 (swallow
/// the key) for any other character.
int FilterNumericKey(int character);

}  // namespace kestrun
