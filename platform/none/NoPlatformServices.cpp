#include "platform/none/NoPlatformServices.h"

#include "platform/PlatformError.h"

#include <chrono>
#include <thread>

namespace kestrun {

namespace {

class NoFileExistence : public FileExistence {
public:
    bool OrdinaryFileExists(const std::string&) override { throw PlatformError(kNotAvailableHere); }
};

class NoProgramStarter : public ProgramStarter {
public:
    bool IsProgramFile(const std::string&) override { return false; }
    std::int32_t Start(const std::string&) override { throw PlatformError(kNotAvailableHere); }
};

class NoFileOpener : public FileOpener {
public:
    bool Open(const std::string&) override { return false; }
};

// Waiting needs no system of its own: it sleeps in steps so that a stop ends it.
class StepSleeper : public Sleeper {
public:
    explicit StepSleeper(std::function<bool()> stopRequested) : stopRequested_(std::move(stopRequested)) {}
    void Sleep(std::uint32_t milliseconds) override
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < deadline && !(stopRequested_ && stopRequested_()))
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                std::chrono::milliseconds(20), deadline - std::chrono::steady_clock::now()));
    }

private:
    std::function<bool()> stopRequested_;
};

class NoWindowActivator : public WindowActivator {
public:
    void Activate(std::int32_t) override { throw PlatformError(kNotAvailableHere); }
    bool WaitForWindow(std::int32_t, std::chrono::milliseconds) override { return false; }
};

class NoKeySender : public KeySender {
public:
    void SendKeys(const std::vector<KeyStroke>&, bool) override { throw PlatformError(kNotAvailableHere); }
};

}  // namespace

void AddNoPlatformServices(PlatformServices& services, std::function<bool()> stopRequested)
{
    services.files = std::make_unique<NoFileExistence>();
    services.programs = std::make_unique<NoProgramStarter>();
    services.opener = std::make_unique<NoFileOpener>();
    services.sleeper = std::make_unique<StepSleeper>(std::move(stopRequested));
    services.typingRoute = "none";
    services.windows = std::make_unique<NoWindowActivator>();
    services.keys = std::make_unique<NoKeySender>();
}

}  // namespace kestrun
