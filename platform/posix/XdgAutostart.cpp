#include "platform/posix/XdgAutostart.h"

#include "platform/PlatformError.h"
#include "platform/UserFolders.h"

#include <QFile>
#include <QSaveFile>
#include <QUtf8StringView>

#include <algorithm>
#include <string_view>
#include <system_error>

namespace kestrun {

namespace {

constexpr const char* kEntryFileName = "kestrun.desktop";

QString QtPath(const std::filesystem::path& path)
{
    return QFile::decodeName(path.c_str());
}

std::string CannotChange(const std::filesystem::path& entry, const std::string& reason)
{
    return "Kestrun cannot change its start at login.\n" + entry.string() + ": " + reason;
}

}  // namespace

std::string DesktopExecArgument(const std::string& argument)
{
    // Characters that make an argument need quotes.
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quoted = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
    std::string text = quoted ? "\"" : "";
    for (const char c : argument) {
        if (c == '%') {
            text += "%%";
        } else if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            // Escaped once for the quotes, and that backslash once more for
            // the key's value, which is read first.
            text += "\\\\";
            text += c == '\\' ? std::string("\\\\") : std::string(1, c);
        } else {
            text += c;
        }
    }
    return quoted ? text + "\"" : text;
}

std::string AutostartEntryText(const std::filesystem::path& executable)
{
    const std::string path = executable.string();
    const bool control = std::any_of(path.begin(), path.end(),
                                     [](unsigned char c) { return c < 0x20 || c == 0x7F; });
    if (control || !QUtf8StringView(path).isValidUtf8())
        throw PlatformError("The path of Kestrun's program file cannot be written into a desktop entry: " + path);
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kestrun\n"
           "Comment=Replays routine desktop chores\n"
           "Exec=" + DesktopExecArgument(path) + "\n"
           "Icon=kestrun\n"
           "Terminal=false\n";
}

XdgAutostart::XdgAutostart(std::filesystem::path entry, std::filesystem::path executable)
    : entry_(std::move(entry)), executable_(std::move(executable))
{
}

bool XdgAutostart::Enabled() const
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(entry_, ec));
}

void XdgAutostart::SetEnabled(bool enabled)
{
    std::error_code ec;
    if (!enabled) {
        if (!std::filesystem::remove(entry_, ec) && ec)
            throw PlatformError(CannotChange(entry_, ec.message()));
        return;
    }
    const std::string text = AutostartEntryText(executable_);
    std::filesystem::create_directories(entry_.parent_path(), ec);
    if (ec)
        throw PlatformError(CannotChange(entry_.parent_path(), ec.message()));
    QSaveFile file(QtPath(entry_));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit())
        throw PlatformError(CannotChange(entry_, file.errorString().toStdString()));
}

std::unique_ptr<LoginStart> MakeLoginStart(const std::filesystem::path& executable)
{
    return std::make_unique<XdgAutostart>(UserConfigFolder() / "autostart" / kEntryFileName, executable);
}

}  // namespace kestrun
