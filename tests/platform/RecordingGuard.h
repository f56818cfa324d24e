#pragma once

#include "platform/linux/KeyboardGuard.h"
#include "platform/linux/XTestKeySender.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace kestrun::test {

/// What typing told its keyboard guard; filled from any thread.
class GuardRecord {
public:
    void Borrowing(const std::vector<BorrowedCode>& codes)
    {
        std::lock_guard lock(mutex_);
        for (const BorrowedCode& code : codes) {
            borrowed_[code.code] = code;
            ever_.insert(code.code);
        }
        restored_ = false;
    }
    void Restored()
    {
        std::lock_guard lock(mutex_);
        borrowed_.clear();
        restored_ = true;
    }
    void Key(unsigned char code, bool down)
    {
        std::lock_guard lock(mutex_);
        down ? ++down_[code] : --down_[code];
        pressed_.insert(code);
    }

    std::vector<BorrowedCode> Borrowed()
    {
        std::lock_guard lock(mutex_);
        std::vector<BorrowedCode> codes;
        for (const auto& [code, entry] : borrowed_)
            codes.push_back(entry);
        return codes;
    }
    bool WasRestored() const { std::lock_guard lock(mutex_); return restored_; }
    bool WasBorrowed(unsigned char code) const { std::lock_guard lock(mutex_); return ever_.contains(code); }
    bool WasPressed(unsigned char code) const { std::lock_guard lock(mutex_); return pressed_.contains(code); }
    bool AllKeysUp() const
    {
        std::lock_guard lock(mutex_);
        return std::all_of(down_.begin(), down_.end(), [](const auto& entry) { return entry.second == 0; });
    }

private:
    mutable std::mutex mutex_;
    std::map<unsigned char, BorrowedCode> borrowed_;
    std::set<unsigned char> ever_;
    std::set<unsigned char> pressed_;
    std::map<unsigned char, int> down_;
    bool restored_ = false;
};

class RecordingGuard : public KeyboardGuard {
public:
    explicit RecordingGuard(std::shared_ptr<GuardRecord> record) : record_(std::move(record)) {}
    void Borrowing(const std::vector<BorrowedCode>& codes) override { record_->Borrowing(codes); }
    void Restored() override { record_->Restored(); }
    void KeyDown(unsigned char code) override { record_->Key(code, true); }
    void KeyUp(unsigned char code) override { record_->Key(code, false); }

private:
    std::shared_ptr<GuardRecord> record_;
};

inline XTestKeySender::GuardStarter RecordingGuardStarter(std::shared_ptr<GuardRecord> record)
{
    return [record](const std::string&) { return std::make_unique<RecordingGuard>(record); };
}

}  // namespace kestrun::test
