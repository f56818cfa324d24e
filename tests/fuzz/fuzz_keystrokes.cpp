// Reads arbitrary bytes as a key sequence in the send-keys notation. Beyond the sanitizers it checks:
// a rejected text yields no key and says where it went wrong; an accepted one only typeable keys,
// within the limit, whose canonical form reads back as the same keys.

#include "tests/fuzz/FuzzCheck.h"
#include "keys/KeyNotation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const kestrun::KeySequence sequence = kestrun::ParseKeySequence(text);
    if (!sequence.ok()) {
        CHECK(sequence.strokes.empty());
        CHECK(sequence.error.rfind("Character ", 0) == 0);
        return 0;
    }
    CHECK(sequence.strokes.size() <= kestrun::kMaxKeyStrokes);
    for (const auto& stroke : sequence.strokes) {
        CHECK(stroke.modifiers <= (kestrun::kShift | kestrun::kControl | kestrun::kAlt));
        if (stroke.named)
            CHECK(!kestrun::KeyName(stroke.key).empty());
        else
            CHECK(kestrun::IsTypeableCharacter(stroke.character));
    }
    const kestrun::KeySequence again = kestrun::ParseKeySequence(kestrun::FormatKeySequence(sequence.strokes));
    CHECK(again.ok() && again.strokes == sequence.strokes);
    return 0;
}
