#include "keys/NotationTyping.h"

#include "keys/KeyNotation.h"
#include "platform/KeySender.h"
#include "platform/PlatformError.h"

namespace kestrun {

void SendKeys(KeySender& sender, std::string_view text, bool wait)
{
    const KeySequence sequence = ParseKeySequence(text);
    if (!sequence.ok())
        throw PlatformError(sequence.error);
    sender.SendKeys(sequence.strokes, wait);
}

}  // namespace kestrun
