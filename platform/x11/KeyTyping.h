#pragma once

#include "platform/KeyStroke.h"
#include "platform/x11/BorrowedKeys.h"
#include "platform/x11/KeySettle.h"
#include "platform/x11/keyguard/KeyGuard.h"
#include "platform/x11/XkbKeyMap.h"

#include <X11/Xlib.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrun {

/// Types one parsed sequence through XTest. The whole sequence is planned
/// before its first key: the layout's own keys where they produce a keysym,
/// borrowed codes for the rest. Whatever ends it, every key pressed is
/// released; the borrowed codes stay borrowed for the next sequence.
class KeyTyping {
public:
    /// `unsettledKeys`: keys typed on borrowed codes earlier that are not yet
    /// known to be read.
    KeyTyping(Display* display, BorrowedKeys& borrowed, KeyboardGuard& guard, KeySettle& settle,
              std::function<bool()> stopRequested, int unsettledKeys);
    ~KeyTyping();
    KeyTyping(const KeyTyping&) = delete;
    KeyTyping& operator=(const KeyTyping&) = delete;

    /// Types the strokes. Throws PlatformError when a keysym cannot be typed
    /// (before any key goes down) or when typing was asked to stop.
    void Type(const std::vector<KeyStroke>& strokes);

    /// Keys pressed since the keys typed on borrowed codes were last known
    /// to be read; 0 when none was typed on a borrowed code since.
    int KeysUnsettled() const { return borrowedUnsettled_ ? keysUnsettled_ : 0; }

    /// Keys pressed by this typing.
    int KeysTyped() const { return keysTyped_; }

    /// Checks `focusKept` before each batch of keys, with the server grabbed
    /// so that no window manager can move the focus until the batch has been
    /// delivered; once it is false, typing ends with FocusLostError naming
    /// the window that `windowName` gives.
    void WatchFocus(std::function<bool()> focusKept, std::function<std::string()> windowName)
    {
        focusKept_ = std::move(focusKept);
        focusWindowName_ = std::move(windowName);
    }

private:
    unsigned HeldMask(std::uint8_t modifiers) const;
    std::optional<KeyChoice> FindOnLayout(const KeyStroke& stroke);
    bool TargetTakesKeysOutOfTurn();
    void TypeStroke(const KeyStroke& stroke, KeyChoice choice);
    void Press(KeyCode code, unsigned long delayMs = CurrentTime);
    void Release(KeyCode code);
    void Sync();
    void Synced();
    void BeginBatch();

    Display* display_;
    XkbKeyMap map_;
    BorrowedKeys& borrowed_;
    KeyboardGuard& guard_;
    KeySettle& settle_;
    std::function<bool()> stopRequested_;
    KeyCode lastKey_ = 0;  // the last key typed, its modifiers aside
    std::optional<bool> inTurn_;  // each key that types no character waits for the keys before it
    int keysSinceInTurn_ = 0;
    std::vector<KeyCode> pressed_;
    std::vector<KeyCode> released_;  // not yet known to have reached the server
    int keysUnsettled_ = 0;
    int keysTyped_ = 0;
    bool borrowedUnsettled_ = false;
    std::function<bool()> focusKept_;
    std::function<std::string()> focusWindowName_;
    bool grabbed_ = false;  // the server, for the batch of keys being typed
    int batch_ = 0;
};

}  // namespace kestrun
