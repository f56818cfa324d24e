#pragma once

#include "platform/KeySender.h"
#include "platform/KeyStroke.h"

#include <vector>

// Kept free of the X headers, whose macros clash with ordinary names.
typedef struct _XDisplay Display;

namespace kestrun {

/// Types key sequences through the XTest extension into whatever window has
/// the keyboard focus.
///
/// Each character goes through the key of the active layout group that
/// produces it, with the level modifiers that key needs. Characters no key
/// produces are put on spare key codes: each such keysym once per sequence,
/// all of a batch in one go, the mapping restored once at the end (more
/// distinct missing keysyms than spare codes make more batches). Every key
/// pressed is released on every path.
class XTestKeySender : public KeySender {
public:
    void SendKeys(const std::string& text, bool wait) override;
};

/// The keysym that types a stroke.
unsigned long KeySymFor(const KeyStroke& stroke);

class KeyboardGuard;

/// Types parsed strokes on an open display (the work of SendKeys), telling
/// `guard` about every key and borrowed code. Returns how many times the
/// keyboard mapping was changed, the restore included.
int TypeStrokes(Display* display, const std::vector<KeyStroke>& strokes, KeyboardGuard& guard);

}  // namespace kestrun
