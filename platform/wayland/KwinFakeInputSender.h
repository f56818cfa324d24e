#pragma once

#include "platform/KeySender.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrun {

class ClientBacklog;
class DataControl;
class WaylandConnection;
struct FakeInputPiece;

/// Types key sequences through KWin's fake input (org_kde_kwin_fake_input),
/// which presses keys on KWin's own keyboard: into whatever has the focus,
/// through the user's layout and its current state. KWin offers it only to a
/// program whose installed desktop entry asks for it.
///
/// Keys go at a fixed pace that clients read without falling behind, and
/// wait while KWin itself falls behind reading its clients: KWin passes keys
/// on as they come, and a client whose socket fills loses its connection.
/// Characters the layout lacks are pasted (Ctrl+V) through the clipboard,
/// which holds the user's content again afterwards. Every key is up again
/// when SendKeys returns or throws.
class KwinFakeInputSender : public KeySender {
public:
    /// Typing stops at the next key once `stopRequested` says so. The sender
    /// connects through `connection` when given one, else on its own.
    explicit KwinFakeInputSender(std::function<bool()> stopRequested = nullptr,
                                 std::unique_ptr<WaylandConnection> connection = nullptr);
    ~KwinFakeInputSender() override;

    void SendKeys(const std::vector<KeyStroke>& strokes, bool wait) override;

    /// What to do when KWin refuses this program fake input.
    static std::string RefusedMessage();

private:
    void Connect();
    void TypeKeys(const FakeInputPiece& piece);
    void Key(std::uint32_t code, bool pressed);
    /// Waits until KWin holds little unread; false when it read nothing for long.
    bool WaitUntilRead(const ClientBacklog& compositor) const;
    void ReleaseAll() noexcept;

    std::function<bool()> stopRequested_;
    std::unique_ptr<WaylandConnection> connection_;
    std::vector<std::uint32_t> down_;  // keys pressed and not released yet
    std::unique_ptr<DataControl> clipboard_;  // made at the first character the layout lacks
};

}  // namespace kestrun
