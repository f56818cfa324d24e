#pragma once

#include "platform/KeySender.h"
#include "platform/wayland/KeyboardLayouts.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct zwp_virtual_keyboard_v1;

namespace kestrun {

class ClientBacklog;
class WaylandConnection;

/// Types key sequences through a virtual keyboard of the Wayland compositor
/// (zwp_virtual_keyboard_v1), into whatever has the keyboard focus.
///
/// Each sequence is planned whole before its first key: the keymap the
/// keyboard gets is the user's layout plus every keysym the sequence needs,
/// uploaded once (more often only for a text with more distinct foreign
/// characters than free key codes). Once the keys are typed, or typing fails
/// or is stopped, the keyboard gets the user's keymap back. The virtual
/// keyboard goes with the connection, so a Kestrun that dies leaves no key of
/// it down.
///
/// Where the compositor tells which window has the focus (see FocusWatch),
/// the keys go in small batches, each handled by the compositor before the
/// next, and once another window has the focus typing ends before the next
/// batch with FocusLostError naming the window typed into.
class VirtualKeyboardSender : public KeySender {
public:
    /// Typing stops at the next key once `stopRequested` says so. The
    /// sender connects through `connection` when given one, else on its own.
    explicit VirtualKeyboardSender(std::function<bool()> stopRequested = nullptr,
                                   std::unique_ptr<WaylandConnection> connection = nullptr);
    ~VirtualKeyboardSender() override;

    void SendKeys(const std::vector<KeyStroke>& strokes, bool wait) override;

private:
    /// Connects when not connected yet; the user's keymap.
    std::string Connect();
    std::string UserKeymap();
    void SetModifiers(std::uint32_t modifiers);
    void Restore(const std::string& keymap);
    /// Gives the keyboard `keymap` unless it has it, once an X program typed
    /// into can have read its keys.
    void ChangeKeymap(const std::string& keymap);
    /// Waits until the target holds at most `limit` bytes unread; false when
    /// it read nothing for `patience`.
    bool WaitUntilRead(const ClientBacklog& target, std::size_t limit, std::chrono::milliseconds patience) const;

    std::function<bool()> stopRequested_;
    std::unique_ptr<WaylandConnection> connection_;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    std::uint32_t modifiers_ = 0;
    std::string keymap_;         // what the keyboard has
    std::size_t xKeys_ = 0;      // keys typed into X programs with it
    std::chrono::steady_clock::time_point xLastKey_;
    LayoutName layout_;          // the compositor's last word on the user's layout
    std::string layoutKeymap_;   // and its keymap
};

}  // namespace kestrun
