#include "platform/linux/KeyboardGuard.h"

namespace kestrun {

namespace {

class NullKeyboardGuard : public KeyboardGuard {
public:
    void Borrowing(const std::vector<BorrowedCode>&) override {}
    void Restored() override {}
    void KeyDown(unsigned char) override {}
    void KeyUp(unsigned char) override {}
};

}  // namespace

std::unique_ptr<KeyboardGuard> MakeNullKeyboardGuard() { return std::make_unique<NullKeyboardGuard>(); }

}  // namespace kestrun
