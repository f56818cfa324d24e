#pragma once

#include "platform/x11/keyguard/KeyGuard.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <vector>

// Kept free of the X headers, whose macros clash with ordinary names.
typedef struct _XDisplay Display;

namespace kestrun {

/// Whether the keysyms a code holds now are exactly the ones typing put there,
/// as the core protocol shows them: the same keysyms in the same places (the
/// NoSymbol padding at the end aside, whose width the server chooses).
bool HoldsBorrowed(const std::vector<unsigned long>& current, const std::vector<unsigned long>& borrowed);

/// Gives every code of `codes` its original keysyms back, but only while it
/// still holds exactly what typing put there: a code someone else changed
/// since is left alone, and so is one typing could not have borrowed. A code listed more than once gets the original of its
/// first entry and matches the keysyms of any entry. Returns how many codes
/// were restored.
int RestoreBorrowedCodes(Display* display, const std::vector<BorrowedCode>& codes);

/// Releases every key that is down and either marked in `marks` (one byte per
/// key code, nonzero when the key may be down; may be null) or a modifier key.
void ReleaseKeys(Display* display, const volatile std::uint8_t* marks);

/// Waits until the X server has no client left from process `pid`, so that
/// every request that process sent has been carried out. False when the
/// server cannot tell (no X-Resource extension) or `timeout` passed.
bool WaitUntilClientsGone(Display* display, pid_t pid, std::chrono::milliseconds timeout);

}  // namespace kestrun
