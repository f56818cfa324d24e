#include "tests/receivers/Desktop.h"

#include "platform/x11/EwmhWindowActivator.h"
#include "platform/wayland/WaylandWindowActivator.h"
#include "tests/receivers/MatrixTexts.h"
#include "tests/support/TestDocuments.h"
#include "tests/support/X11Queries.h"
#include "tests/support/XSession.h"
#include "tests/wayland/WaylandSession.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <thread>

namespace kestrun::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Waits for the process's window and brings it forward.
template <typename Activator>
bool ShowAndActivate(pid_t pid, std::chrono::milliseconds limit)
{
    Activator windows;
    if (!windows.WaitForWindow(pid, limit))
        return false;
    try {
        windows.Activate(pid);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

class X11Desktop : public Desktop {
public:
    X11Desktop() : session_(XSessionOptions{.tray = true})
    {
        if (!session_.ok())
            return;
        // The applications' own bus: without one GLib would start one for the display, and leave it behind.
        const fs::path bus = session_.folder() / "runtime" / "bus";
        session_.Start({"dbus-daemon", "--session", "--nofork", "--nosyslog", "--address=unix:path=" + bus.string()});
        WaitUntil([&] { return fs::exists(bus); }, 5s);
        environment_ = {"DBUS_SESSION_BUS_ADDRESS=unix:path=" + bus.string(), "GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE=1"};
    }

    std::string failure() const override { return session_.failure; }
    const TempFolder& folder() const override { return session_.folder(); }

    pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment) override
    {
        std::vector<std::string> command = {"env"};
        command.insert(command.end(), environment_.begin(), environment_.end());
        command.insert(command.end(), environment.begin(), environment.end());
        command.insert(command.end(), argv.begin(), argv.end());
        return session_.Start(command);
    }

    pid_t StartRecorder(const fs::path& output) override
    {
        const pid_t pid = session_.StartRecorder(output, 30);
        return pid > 0 && Focus(pid, 10s) ? pid : -1;
    }

    bool Focus(pid_t pid, std::chrono::milliseconds limit) override
    {
        return ShowAndActivate<EwmhWindowActivator>(pid, limit) && WaitUntil([&] { return IsActive(pid); }, 5s);
    }

    bool StartKestrun(const std::string& document) override
    {
        kestrun_ = session_.InstallKestrun(document);
        return session_.Start({kestrun_.string()}) > 0 && !WaitForTrayIcon().empty();
    }

    void RunKestrun(const std::string& program) override { RunProgram({kestrun_.string(), "--run", program}); }
    void Run(const std::vector<std::string>& argv) override { RunProgram(argv); }

    bool SetLayout(const std::string& layout) override
    {
        const bool second = layout == "us+ru";
        if (RunProgram({"setxkbmap", "-layout", second ? "us,ru" : layout}).status != 0)
            return false;
        const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
        XkbLockGroup(x.get(), XkbUseCoreKbd, second ? 1 : 0);
        XSync(x.get(), False);
        XkbStateRec state{};
        XkbGetState(x.get(), XkbUseCoreKbd, &state);
        return state.locked_group == (second ? 1 : 0);
    }

private:
    XSession session_;
    std::vector<std::string> environment_;
    fs::path kestrun_;
};

class SwayDesktop : public Desktop {
public:
    SwayDesktop() : session_(true)
    {
        if (session_.ok())
            user_ = std::make_unique<UserKeyboard>("us");
    }

    std::string failure() const override { return session_.failure(); }
    const TempFolder& folder() const override { return session_.folder(); }

    pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment) override
    {
        return session_.Start(argv, environment);
    }

    pid_t StartRecorder(const fs::path& output) override { return session_.StartRecorder(output); }

    bool Focus(pid_t pid, std::chrono::milliseconds limit) override
    {
        return ShowAndActivate<WaylandWindowActivator>(pid, limit);
    }

    bool StartKestrun(const std::string& document) override
    {
        const fs::path app = session_.folder() / "kestrun", built = KESTRUN_EXECUTABLE;
        fs::create_directories(app);
        for (const fs::path& file : {built, built.parent_path() / "kestrun-keyguard"})
            fs::copy_file(file, app / file.filename(), fs::copy_options::overwrite_existing);
        session_.folder().Write("kestrun/Kestrun.xml", document);
        session_.GiveToUser(session_.folder().path());
        kestrun_ = app / "kestrun";
        if (session_.Start({kestrun_.string()}, {"QT_QPA_PLATFORM=wayland"}) < 0)
            return false;
        // Its icon registered with swaybar: it is up and listening for the programs to run.
        return WaitUntil([&] { return session_.Watcher("RegisteredStatusNotifierItems").find("string \":") != std::string::npos; }, 20s);
    }

    void RunKestrun(const std::string& program) override { session_.Run({kestrun_.string(), "--run", program}); }
    void Run(const std::vector<std::string>& argv) override { session_.Run(argv); }

    bool SetLayout(const std::string& layout) override
    {
        if (layout == "us/wtype") {
            // As when Kestrun is started from a terminal by a line that wtype typed.
            session_.Run({"wtype", "wtype"});
            session_.Run({"wtype", "-k", "Return"});
            std::this_thread::sleep_for(500ms);
        }
        return layout == "us" || layout == "us/wtype";
    }
    void GiveToUser(const fs::path& path) const override { session_.GiveToUser(path); }

private:
    WaylandSession session_;
    std::unique_ptr<UserKeyboard> user_;
    fs::path kestrun_;
};

}  // namespace

std::unique_ptr<Desktop> MakeX11Desktop() { return std::make_unique<X11Desktop>(); }
std::unique_ptr<Desktop> MakeSwayDesktop() { return std::make_unique<SwayDesktop>(); }

KestrunTypist::KestrunTypist(Desktop& desktop) : desktop_(desktop), marks_(desktop.folder() / "marks")
{
    fs::create_directories(marks_);
    std::vector<MatrixText> programs;
    for (const char* name : {"plain", "mixed", "mixed2000", "ru", "gr", "pl", "tasks"})
        programs.push_back(TextNamed(name));
    programs.push_back({"save", {{"Keystrokes", "^s"}}, ""});
    programs.push_back({"clear", {{"Keystrokes", "^a{DEL}"}}, ""});
    std::string xml;
    for (MatrixText& program : programs) {
        const fs::path mark = desktop.folder().Write("marks/mark-" + program.name + ".sh",
                                                     "#!/bin/sh\n: > '" + (marks_ / program.name).string() + "'\n");
        fs::permissions(mark, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        program.tasks.push_back({"Open File", mark.string()});
        xml += Program(program.name, program.tasks);
    }
    desktop.GiveToUser(marks_);
    ok_ = desktop.StartKestrun(TemplateDocument(xml));
}

bool KestrunTypist::Run(const std::string& program, std::chrono::seconds limit)
{
    const fs::path mark = marks_ / program;
    fs::remove(mark);
    desktop_.RunKestrun(program);
    return WaitUntil([&] { return fs::exists(mark); }, limit);
}

}  // namespace kestrun::test
