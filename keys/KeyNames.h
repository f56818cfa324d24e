#pragma once

#include "platform/KeyStroke.h"

#include <string_view>

namespace kestrun {

/// True for a code point that is typed as a character: not a control
/// character, not a surrogate, within Unicode. Newline, carriage return and
/// tab are typed as the Enter and Tab keys instead.
bool IsTypeableCharacter(char32_t c);

/// The canonical name of a named key, as written between braces ("ENTER").
std::string_view KeyName(NamedKey key);

/// Looks a braced key name up, letter case ignored, aliases included
/// ("bs", "BKSP" and "BACKSPACE" are all Backspace). False when unknown.
bool LookUpKeyName(std::string_view name, NamedKey& key);

}  // namespace kestrun
