#include "platform/wayland/CompositorIpc.h"

#include "platform/wayland/LocalSocket.h"
#include "platform/wayland/SwayEvents.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace kestrun {

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::optional<std::string> SwayRequest(SwayMessage type, const std::string& payload)
{
    const LocalSocket socket(Environment("SWAYSOCK"));
    if (!socket.ok() || !socket.Send(SwayFrame(static_cast<std::uint32_t>(type), payload)))
        return std::nullopt;
    auto reply = ReadSwayMessage(socket);
    if (!reply)
        return std::nullopt;
    return std::move(reply->payload);
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
        if (pid <= 0)
            return std::nullopt;
        return FocusedWindow{pid, node.value("shell").toString() == "xwayland",
                             static_cast<std::uint64_t>(std::max<qint64>(node.value("id").toInteger(), 0)),
                             node.value("name").toString().toStdString()};
    }
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(children).toArray())
            if (const auto window = FocusedIn(child.toObject()))
                return window;
    return std::nullopt;
}

std::optional<QJsonObject> NodeIn(const QJsonObject& node, qint64 id)
{
    if (node.value("id").toInteger(-1) == id)
        return node;
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(children).toArray())
            if (auto found = NodeIn(child.toObject(), id))
                return found;
    return std::nullopt;
}

std::optional<QJsonObject> NodeInTree(const std::string& json, std::uint64_t id)
{
    if (id == 0 || id > static_cast<std::uint64_t>(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    return NodeIn(Parse(json).object(), static_cast<qint64>(id));
}

}  // namespace

std::optional<std::string> TitleInTree(const std::string& json, std::uint64_t id)
{
    const auto node = NodeInTree(json, id);
    return node ? std::optional<std::string>(node->value("name").toString().toStdString()) : std::nullopt;
}

std::optional<long> OwnerInTree(const std::string& json, std::uint64_t id)
{
    const auto node = NodeInTree(json, id);
    const qint64 pid = node ? node->value("pid").toInteger() : 0;
    if (pid <= 0 || pid > std::numeric_limits<long>::max())
        return std::nullopt;
    return static_cast<long>(pid);
}

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
        return pid > 0 ? std::optional<FocusedWindow>({pid, window.value("xwayland").toBool(), 0, {}}) : std::nullopt;
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
