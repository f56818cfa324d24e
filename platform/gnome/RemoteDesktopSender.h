#pragma once

#include "platform/KeySender.h"
#include "platform/gnome/RemoteDesktopSession.h"

#include <functional>
#include <memory>
#include <string>

namespace kestrun {

class LayoutCharacters;

/// Types key sequences through a GNOME remote-desktop session, into
/// whatever has the keyboard focus.
///
/// The layout's own characters and keys go as its keysyms, one event at a
/// fixed pace: the compositor passes keys on as fast as they come and
/// disconnects a client that falls behind, and nothing on this route tells
/// when the focused window has read its keys. Characters the layout lacks are
/// pasted: the session's clipboard takes them, Ctrl+V pastes them, and the
/// user's clipboard comes back once the window has fetched them. The session
/// is started at the first keys and kept for the life of the sender, so the
/// user is asked once.
class RemoteDesktopSender : public KeySender {
public:
    RemoteDesktopSender(RemoteDesktopSession::Route route, std::function<bool()> stopRequested);
    ~RemoteDesktopSender() override;

    void SendKeys(const std::vector<KeyStroke>& strokes, bool wait) override;

private:
    void Begin();
    const LayoutCharacters& Layout();
    void Tap(unsigned long keysym, std::uint8_t modifiers);
    void Event(unsigned long keysym, bool down);
    void Press(unsigned long keysym);
    void ReleaseAll() noexcept;
    void Paste(const std::string& text);
    void PasteKey();

    RemoteDesktopSession::Route route_;
    std::function<bool()> stopRequested_;
    std::unique_ptr<RemoteDesktopSession> session_;
    std::string layoutName_;
    std::unique_ptr<LayoutCharacters> layout_;
    std::vector<unsigned long> held_;
    std::vector<unsigned> heldCodes_;  // keys pressed by their codes
    unsigned events_ = 0;
    std::chrono::steady_clock::time_point next_;
};

}  // namespace kestrun
