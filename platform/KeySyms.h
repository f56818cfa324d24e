#pragma once

#include "platform/KeyStroke.h"

namespace kestrun {

/// The keysym that types a stroke: the key's own for a named key, the
/// character's (Latin-1 as itself, the rest as Unicode keysyms) otherwise.
unsigned long KeySymFor(const KeyStroke& stroke);

}  // namespace kestrun
