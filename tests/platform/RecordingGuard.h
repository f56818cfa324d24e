#pragma once

#include "platform/linux/KeyboardGuard.h"
#include "platform/linux/XTestKeySender.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace kestrun::test {

/// What typing told its keyboard guard. Typing may call from its own thread:
/// read it under the lock, or once typing is over.
struct GuardRecord {
    std::mutex lock;
    std::map<unsigned char, BorrowedCode> borrowed;  // since the last restore
    std::set<unsigned char> everBorrowed, pressed;
    std::map<unsigned char, int> down;                // presses less releases
    bool restored = false;
};

class RecordingGuard : public KeyboardGuard {
public:
    explicit RecordingGuard(std::shared_ptr<GuardRecord> record) : record_(std::move(record)) {}

    void Borrowing(const std::vector<BorrowedCode>& codes) override
    {
        std::lock_guard lock(record_->lock);
        for (const BorrowedCode& code : codes) {
            record_->borrowed[code.code] = code;
            record_->everBorrowed.insert(code.code);
        }
        record_->restored = false;
    }
    void Restored() override
    {
        std::lock_guard lock(record_->lock);
        record_->borrowed.clear();
        record_->restored = true;
    }
    void KeyDown(unsigned char code) override { Count(code, 1); }
    void KeyUp(unsigned char code) override { Count(code, -1); }

    static XTestKeySender::GuardStarter Starter(std::shared_ptr<GuardRecord> record)
    {
        return [record](const std::string&) { return std::make_unique<RecordingGuard>(record); };
    }

private:
    void Count(unsigned char code, int step)
    {
        std::lock_guard lock(record_->lock);
        record_->down[code] += step;
        record_->pressed.insert(code);
    }

    std::shared_ptr<GuardRecord> record_;
};

}  // namespace kestrun::test
