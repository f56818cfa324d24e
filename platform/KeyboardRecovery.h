#pragma once

namespace kestrun {

/// At start-up: when an earlier Kestrun died while typing and its guardian
/// died too, the keyboard mapping may still hold keysyms typing borrowed.
/// Gives those key codes their own keysyms back (only codes still as typing
/// left them) and forgets the record. Costs one file lookup when there is
/// nothing to do; never fails.
void RestoreKeyboardFromJournal();

}  // namespace kestrun
