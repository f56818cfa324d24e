#pragma once

#include <string_view>

namespace kestrun {

class KeySender;

/// Types `text`, written in the send-keys notation, through `sender`. A
/// malformed text types nothing and throws PlatformError naming the mistake;
/// otherwise as KeySender::SendKeys.
void SendKeys(KeySender& sender, std::string_view text, bool wait);

}  // namespace kestrun
