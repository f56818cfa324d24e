#pragma once

// A page with one textarea, served on the loopback interface, whose script posts the textarea's value back
// on every change: what a browser received, read without a key of its own.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kestrun::test {

class LoopbackPage {
public:
    using Clock = std::chrono::steady_clock;

    LoopbackPage();  // listens on 127.0.0.1, on a port of the system's choice
    ~LoopbackPage();
    LoopbackPage(const LoopbackPage&) = delete;
    LoopbackPage& operator=(const LoopbackPage&) = delete;

    bool ok() const { return listener_ >= 0; }
    std::string Url() const;

    /// Tells the page to empty its textarea and focus it; true once it has said it did, within `limit`.
    bool Clear(std::chrono::milliseconds limit);
    /// True once the page of the current round posted at all (it has loaded), within `limit`.
    bool WaitForPage(std::chrono::milliseconds limit);

    struct Value {
        std::string text;                // the last value posted in this round
        Clock::time_point first, last;   // the first and the last post that changed it
        int posts = 0;
    };
    Value Current();

private:
    void Serve();
    void Answer(int connection);

    int listener_ = -1;
    int port_ = 0;
    std::thread server_;
    bool stopping_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    int round_ = 0;        // what the page is told to clear for
    int pageRound_ = -1;   // the round the page last posted in
    long lastSequence_ = -1;
    Value value_;
};

}  // namespace kestrun::test
