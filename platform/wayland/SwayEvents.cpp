#include "platform/wayland/SwayEvents.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace kestrun {

namespace {

constexpr char kSwayMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kSwayHeader = sizeof kSwayMagic + 8;
constexpr std::uint32_t kSubscribe = 2;
// Answered at once with a few bytes: the stream's ping.
constexpr std::uint32_t kGetVersion = 7;
// No reply or event is anywhere near this long; a length past it is no sway talking.
constexpr std::uint32_t kLongestMessage = 64u << 20;

QJsonObject ObjectOf(const std::string& json)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

}  // namespace

std::string SwayFrame(std::uint32_t type, const std::string& payload)
{
    std::string message(kSwayMagic, sizeof kSwayMagic);
    const std::uint32_t header[2] = {static_cast<std::uint32_t>(payload.size()), type};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    return message + payload;
}

std::optional<SwayIpcMessage> ReadSwayMessage(const LocalSocket& socket)
{
    const auto header = socket.Receive(kSwayHeader);
    if (!header || header->compare(0, sizeof kSwayMagic, kSwayMagic, sizeof kSwayMagic) != 0)
        return std::nullopt;
    std::uint32_t fields[2] = {};
    std::memcpy(fields, header->data() + sizeof kSwayMagic, sizeof fields);
    if (fields[0] > kLongestMessage)
        return std::nullopt;
    auto payload = socket.Receive(fields[0]);
    if (!payload)
        return std::nullopt;
    return SwayIpcMessage{fields[1], std::move(*payload)};
}

std::unique_ptr<SwayEventStream> SwayEventStream::Subscribe(const std::string& events)
{
    const char* path = std::getenv("SWAYSOCK");
    std::unique_ptr<SwayEventStream> stream(new SwayEventStream(path ? path : ""));
    if (!stream->socket_.ok())
        return nullptr;
    stream->socket_.SetReceiveLimit(std::chrono::seconds(5));
    if (!stream->socket_.Send(SwayFrame(kSubscribe, events)))
        return nullptr;
    const auto reply = ReadSwayMessage(stream->socket_);
    if (!reply || reply->type != kSubscribe || !ObjectOf(reply->payload).value("success").toBool())
        return nullptr;
    return stream;
}

std::optional<std::vector<SwayIpcMessage>> SwayEventStream::Collect(std::chrono::milliseconds patience)
{
    socket_.SetReceiveLimit(patience);
    if (!socket_.Send(SwayFrame(kGetVersion, "")))
        return std::nullopt;
    // Sway writes events and replies to one buffer in the order it makes them.
    std::vector<SwayIpcMessage> events;
    while (auto message = ReadSwayMessage(socket_)) {
        if (message->type == kGetVersion)
            return events;
        if (message->type & 0x80000000u)
            events.push_back(std::move(*message));
    }
    return std::nullopt;
}

std::optional<SwayWindowChange> ReadWindowEvent(const std::string& json)
{
    const QJsonObject event = ObjectOf(json);
    const QJsonValue change = event.value("change");
    const QJsonObject container = event.value("container").toObject();
    const qint64 id = container.value("id").toInteger(-1);
    if (!change.isString() || id < 0)
        return std::nullopt;
    const qint64 pid = container.value("pid").toInteger();
    return SwayWindowChange{change.toString().toStdString(), static_cast<std::uint64_t>(id),
                            container.value("name").toString().toStdString(),
                            pid > 0 && pid <= std::numeric_limits<long>::max() ? static_cast<long>(pid) : 0};
}

bool IsWorkspaceFocus(const std::string& json) { return ObjectOf(json).value("change").toString() == "focus"; }

}  // namespace kestrun
