#include "platform/wayland/CompositorIpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>

namespace kestrun {

namespace {

constexpr char kSwayMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kSwayHeader = sizeof kSwayMagic + 8;

// A connected stream socket, closed with the object.
class LocalSocket {
public:
    explicit LocalSocket(const std::string& path)
    {
        sockaddr_un address{};
        if (path.empty() || path.size() >= sizeof address.sun_path)
            return;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size());
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ >= 0 && connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~LocalSocket()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    LocalSocket(const LocalSocket&) = delete;
    LocalSocket& operator=(const LocalSocket&) = delete;

    bool ok() const { return fd_ >= 0; }

    bool Send(const std::string& bytes) const
    {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Exactly `size` bytes, or up to the end of the stream when `size` is npos.
    std::optional<std::string> Receive(std::size_t size) const
    {
        std::string bytes;
        char buffer[4096];
        while (bytes.size() < size) {
            const std::size_t want = std::min(sizeof buffer, size - bytes.size());
            const ssize_t n = recv(fd_, buffer, want, 0);
            if (n < 0 || (n == 0 && size != std::string::npos))
                return std::nullopt;
            if (n == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

private:
    int fd_ = -1;
};

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::optional<std::string> SwayRequest(SwayMessage type, const std::string& payload)
{
    const LocalSocket socket(Environment("SWAYSOCK"));
    if (!socket.ok())
        return std::nullopt;
    std::string message(kSwayMagic, sizeof kSwayMagic);
    const std::uint32_t header[2] = {static_cast<std::uint32_t>(payload.size()), static_cast<std::uint32_t>(type)};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message += payload;
    if (!socket.Send(message))
        return std::nullopt;
    const auto reply = socket.Receive(kSwayHeader);
    if (!reply || reply->compare(0, sizeof kSwayMagic, kSwayMagic, sizeof kSwayMagic) != 0)
        return std::nullopt;
    std::uint32_t length = 0;
    std::memcpy(&length, reply->data() + sizeof kSwayMagic, sizeof length);
    return socket.Receive(length);
}

std::optional<std::string> HyprlandRequest(const std::string& request)
{
    const std::string instance = Environment("HYPRLAND_INSTANCE_SIGNATURE");
    if (instance.empty() || instance.find('/') != std::string::npos)
        return std::nullopt;
    // Newer releases keep the socket in the runtime folder, older ones in /tmp.
    std::filesystem::path path = std::filesystem::path(Environment("XDG_RUNTIME_DIR")) / "hypr" / instance;
    if (Environment("XDG_RUNTIME_DIR").empty() || !std::filesystem::exists(path))
        path = std::filesystem::path("/tmp/hypr") / instance;
    const LocalSocket socket((path / ".socket.sock").string());
    if (!socket.ok() || !socket.Send(request))
        return std::nullopt;
    return socket.Receive(std::string::npos);
}

namespace {

QJsonDocument Parse(const std::string& json)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(json));
}

void AddPids(const QJsonValue& value, std::set<long>& pids)
{
    if (value.isArray()) {
        for (const QJsonValue& element : value.toArray())
            AddPids(element, pids);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto member = object.begin(); member != object.end(); ++member)
            if (member.key() == QLatin1String("pid")) {
                if (const qint64 pid = member.value().toInteger(); pid > 0 && pid <= std::numeric_limits<long>::max())
                    pids.insert(static_cast<long>(pid));
            } else {
                AddPids(member.value(), pids);
            }
    }
}

std::optional<FocusedWindow> FocusedIn(const QJsonObject& node)
{
    if (node.value("focused").toBool()) {
        const long pid = node.value("pid").toInteger();
        return pid > 0 ? std::optional<FocusedWindow>({pid, node.value("shell").toString() == "xwayland"})
                       : std::nullopt;
    }
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(children).toArray())
            if (const auto window = FocusedIn(child.toObject()))
                return window;
    return std::nullopt;
}

}  // namespace

std::optional<FocusedWindow> FocusedInTree(const std::string& json)
{
    return FocusedIn(Parse(json).object());
}

std::optional<FocusedWindow> FocusedWindowNow()
{
    if (const auto tree = SwayRequest(SwayMessage::GetTree, ""))
        return FocusedInTree(*tree);
    if (const auto active = HyprlandRequest("j/activewindow")) {
        const QJsonObject window = Parse(*active).object();
        const long pid = window.value("pid").toInteger();
        return pid > 0 ? std::optional<FocusedWindow>({pid, window.value("xwayland").toBool()}) : std::nullopt;
    }
    return std::nullopt;
}

std::set<long> PidsInJson(const std::string& json)
{
    std::set<long> pids;
    const QJsonDocument document = Parse(json);
    AddPids(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()), pids);
    return pids;
}

bool SwayCommandSucceeded(const std::string& json)
{
    // One result per command: [{"success": true}].
    for (const QJsonValue& result : Parse(json).array())
        if (result.toObject().value("success").toBool())
            return true;
    return false;
}

}  // namespace kestrun
