#pragma once

#include "platform/gnome/LayoutCharacters.h"

#include <string>

namespace kestrun {

/// The keyboard layout GNOME types with now: the first of the user's recent
/// input sources (org.gnome.desktop.input-sources), else the first configured
/// one; empty names (xkbcommon's defaults) where GNOME's settings say none.
InputSourceLayout GnomeCurrentLayout();

/// The first xkb layout of a list of input sources as gsettings prints it;
/// false when it names none.
bool FirstInputSourceLayout(const std::string& printed, InputSourceLayout& out);

}  // namespace kestrun
