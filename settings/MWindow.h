#pragma once

#include "settings/WindowGeometry.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrun {

class CRegSettings;

/// Saves (bSave true) or restores (false) a window's left and top edges, in
/// twips, as the values "<name> Left" and "<name> Top" of the section
/// "Position". A minimised or maximised window is left alone. A window with
/// nothing stored is centred in the work area (on the whole screen when it is
/// wider or taller than the work area); so is a stored value that is not a
/// number or does not fit -32768..32767.
void FormPosition(WindowGeometry& fForm, bool bSave, CRegSettings& settings);

/// The same with the settings given; does nothing when there are none.
void FormPosition(WindowGeometry& fForm, bool bSave, CRegSettings* settings);

/// A text's number rounded to a 16-bit position (halves to even), or nothing
/// when the text is not a number or the position does not fit.
std::optional<std::int16_t> PositionFromText(std::string_view text);

}  // namespace kestrun
