#include "tests/receivers/Receivers.h"

#include "tests/receivers/LoopbackPage.h"
#include "tests/receivers/MatrixTexts.h"
#include "tests/support/XSession.h"

#include <atomic>
#include <thread>

namespace kestrun::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = Arrival::Clock;

namespace {

// How long what arrived may stand still before it counts as all that will come.
constexpr auto kQuiet = 4s;
constexpr auto kLongest = 240s;

std::size_t SizeOf(const fs::path& file)
{
    std::error_code error;
    const auto size = fs::file_size(file, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

fs::file_time_type ModifiedAt(const fs::path& file)
{
    std::error_code error;
    const auto time = fs::last_write_time(file, error);
    return error ? fs::file_time_type::min() : time;
}

// A terminal that copies its keys to a file: xterm on X, foot on sway. Timed by the file's growth.
class RecorderReceiver : public Receiver {
public:
    std::string Start(Desktop& desktop) override
    {
        output_ = desktop.folder() / "recorder.txt";
        pid_ = desktop.StartRecorder(output_);
        return pid_ > 0 ? "" : "the recording terminal did not start";
    }

    bool Prepare(Desktop& desktop, KestrunTypist&) override
    {
        offset_ = SizeOf(output_);
        return desktop.Focus(pid_, 10s);
    }

    void Begin() override
    {
        arrival_ = {};
        watching_ = true;
        watcher_ = std::thread([this] {
            for (std::size_t size = offset_; watching_; std::this_thread::sleep_for(1ms))
                if (const std::size_t now = SizeOf(output_); now != size) {
                    if (size == offset_)
                        arrival_.first = Clock::now();
                    arrival_.last = Clock::now();
                    size = now;
                }
        });
    }

    Arrival Read(KestrunTypist&, const std::string& expected) override
    {
        std::size_t size = SizeOf(output_);
        auto changed = Clock::now();
        WaitUntil([&] {
            if (const std::size_t now = SizeOf(output_); now != size)
                size = now, changed = Clock::now();
            return size >= offset_ + expected.size() || Clock::now() - changed > kQuiet;
        }, kLongest);
        std::this_thread::sleep_for(200ms);  // anything beyond is a fault too
        watching_ = false;
        watcher_.join();
        arrival_.text = ReadFile(output_).substr(offset_);
        return arrival_;
    }

private:
    fs::path output_;
    pid_t pid_ = -1;
    std::size_t offset_ = 0;
    std::thread watcher_;
    std::atomic<bool> watching_{false};
    Arrival arrival_;
};

// A browser showing the loopback page; what arrived is its last post.
class PageReceiver : public Receiver {
public:
    PageReceiver(std::string browser, bool wayland) : browser_(std::move(browser)), wayland_(wayland) {}

    std::string Start(Desktop& desktop) override
    {
        page_ = std::make_unique<LoopbackPage>();
        if (!page_->ok())
            return "cannot listen on the loopback interface";
        const fs::path profile = desktop.folder() / ("profile-" + browser_);
        fs::create_directories(profile);
        std::vector<std::string> argv;
        if (browser_ == "chromium") {
            argv = {"chromium", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                    "--disable-component-update", "--disable-sync", "--no-default-browser-check",
                    "--password-store=basic", "--disable-features=Translate", "--user-data-dir=" + profile.string(),
                    "--app=" + page_->Url()};
            if (wayland_)
                argv.insert(argv.begin() + 1, "--ozone-platform=wayland");
        } else {
            desktop.folder().Write("profile-" + browser_ + "/user.js",
                                   "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                                   "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                                   "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                                   "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                                   "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
                                   "user_pref(\"app.update.auto\", false);\n"
                                   "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n"
                                   "user_pref(\"network.captive-portal-service.enabled\", false);\n"
                                   "user_pref(\"network.connectivity-service.enabled\", false);\n");
            argv = {"firefox-esr", "--no-remote", "--profile", profile.string(), page_->Url()};
        }
        desktop.GiveToUser(profile);
        pid_ = desktop.Start(argv, {});
        if (pid_ < 0)
            return browser_ + " did not start (is it installed?)";
        if (!page_->WaitForPage(120s))
            return browser_ + " did not load the page";
        return desktop.Focus(pid_, 30s) ? "" : browser_ + " has no window to focus";
    }

    bool Prepare(Desktop& desktop, KestrunTypist&) override { return desktop.Focus(pid_, 10s) && page_->Clear(20s); }
    void Begin() override {}

    Arrival Read(KestrunTypist&, const std::string& expected) override
    {
        const auto sent = Clock::now();
        WaitUntil([&] {
            const auto value = page_->Current();
            return value.text == expected || Clock::now() - std::max(value.last, sent) > kQuiet;
        }, kLongest);
        const auto value = page_->Current();
        return {value.text, value.first, value.last};
    }

private:
    std::string browser_;
    bool wayland_;
    std::unique_ptr<LoopbackPage> page_;
    pid_t pid_ = -1;
};

// The document Writer opens: autocorrection and word completion off (they change what is typed by design),
// no tip of the day, saved as UTF-8 text without asking.
std::string WriterSettings()
{
    std::string items;
    const auto off = [&](const std::string& path, std::initializer_list<const char*> names) {
        for (const char* name : names)
            items += "<item oor:path=\"" + path + "\"><prop oor:name=\"" + name +
                     "\" oor:op=\"fuse\"><value>false</value></prop></item>\n";
    };
    off("/org.openoffice.Office.Common/AutoCorrect",
        {"UseReplacementTable", "TwoCapitalsAtStart", "CapitalAtStartSentence", "SetInetAttribute", "ChangeOrdinalNumber",
         "ChangeDash", "AddNonBreakingSpace", "TransliterateRTL", "ChangeAngleQuotes", "CorrectAccidentalCapsLock",
         "ReplaceSingleQuote", "ReplaceDoubleQuote"});
    off("/org.openoffice.Office.Writer/AutoFunction/Format/Option",
        {"UseReplacementTable", "TwoCapitalsAtStart", "CapitalAtStartSentence", "SetInetAttribute", "ChangeOrdinalNumber",
         "ChangeDash", "AddNonBreakingSpace", "TransliterateRTL", "ChangeAngleQuotes", "DelSpacesAtStartEnd",
         "DelSpacesBetween"});
    off("/org.openoffice.Office.Writer/AutoFunction/Format/ByInput",
        {"Enable", "ChangeDash", "ChangeToTable", "DelSpacesAtStartEnd", "DelSpacesBetween"});
    off("/org.openoffice.Office.Writer/AutoFunction/Completion", {"Enable", "CollectWords", "ShowAsTip"});
    off("/org.openoffice.Office.Common/Save/Document", {"WarnAlienFormat"});
    off("/org.openoffice.Office.Common/Misc", {"ShowTipOfTheDay", "FirstRun"});
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
           "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n" +
           items + "</oor:items>\n";
}

// An editor with a text file open; what arrived is what it saves with Ctrl+S, typed by Kestrun as well.
class SavingEditor : public Receiver {
public:
    SavingEditor(std::string name, bool wayland) : name_(std::move(name)), wayland_(wayland) {}

    std::string Start(Desktop& desktop) override
    {
        file_ = desktop.folder().Write(name_ + ".txt", "");
        std::vector<std::string> argv, environment;
        if (name_.rfind("writer", 0) == 0) {
            const fs::path profile = desktop.folder() / ("profile-" + name_);
            fs::create_directories(profile / "user");
            desktop.folder().Write("profile-" + name_ + "/user/registrymodifications.xcu", WriterSettings());
            argv = {"soffice", "-env:UserInstallation=file://" + profile.string(), "--norestore", "--nologo",
                    "--nolockcheck", "--writer", "--infilter=Text (encoded):UTF8,LF,,,", file_.string()};
            // Where libreoffice-gtk3 is installed it is the default; without it the X11 back-end ("gen") is.
            environment = {name_ == "writer-x11" ? "SAL_USE_VCLPLUGIN=gen" : "SAL_USE_VCLPLUGIN=gtk3"};
        } else {
            argv = {name_, file_.string()};
            if (wayland_)
                environment = {"GDK_BACKEND=wayland", "GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE=1"};
        }
        desktop.GiveToUser(desktop.folder().path());
        pid_ = desktop.Start(argv, environment);
        if (pid_ < 0 || !desktop.Focus(pid_, 120s))
            return name_ + " did not show a window (is it installed?)";
        std::this_thread::sleep_for(3s);  // done loading the file
        return "";
    }

    bool Prepare(Desktop& desktop, KestrunTypist& typist) override
    {
        return desktop.Focus(pid_, 10s) && typist.Run("clear", 60s);
    }

    void Begin() override { began_ = Clock::now(); }

    Arrival Read(KestrunTypist& typist, const std::string& expected) override
    {
        std::string saved;
        Clock::time_point savedAt = Clock::now();
        // Writer with GTK 3 may still be translating keys sent long ago: its save waits behind them, and
        // it gets a second Ctrl+S. Any other editor must save at the first.
        const int saves = name_ == "writer-gtk3" ? 2 : 1;
        for (int save = 0; save < saves; ++save) {
            const auto limit = save == 0 ? 60s : 30s;
            if (save > 0 && saved == expected)
                break;
            const auto before = ModifiedAt(file_);
            typist.Run("save", 60s);
            if (!WaitUntil([&] { return ModifiedAt(file_) != before; }, limit))
                Step(("no save came; the active window: " + RunProgram({"xdotool", "getactivewindow", "getwindowname"}).out).c_str());
            savedAt = Clock::now();
            std::this_thread::sleep_for(300ms);
            saved = WithoutEditorFrame(expected, ReadFile(file_));
        }
        return {saved, began_, savedAt};
    }

private:
    std::string name_;
    bool wayland_;
    fs::path file_;
    pid_t pid_ = -1;
    Clock::time_point began_;
};

}  // namespace

bool OnSway(const std::string& receiver) { return receiver == "foot" || receiver.ends_with("-wayland"); }

std::unique_ptr<Receiver> MakeReceiver(const std::string& name)
{
    if (name == "xterm" || name == "foot")
        return std::make_unique<RecorderReceiver>();
    if (name == "chromium" || name == "firefox" || name == "chromium-wayland")
        return std::make_unique<PageReceiver>(name == "firefox" ? "firefox" : "chromium", OnSway(name));
    if (name == "writer-x11" || name == "writer-gtk3" || name == "mousepad" || name == "featherpad")
        return std::make_unique<SavingEditor>(name, false);
    if (name == "mousepad-wayland")
        return std::make_unique<SavingEditor>("mousepad", true);
    return nullptr;
}

}  // namespace kestrun::test
