#include "platform/gnome/RemoteDesktopSession.h"

#include "platform/PlatformError.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace kestrun {

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalRemote = "org.freedesktop.portal.RemoteDesktop";
constexpr const char* kMutter = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kMutterPath = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* kMutterSession = "org.gnome.Mutter.RemoteDesktop.Session";

// The portal's device types: a keyboard only.
constexpr guint32 kKeyboard = 1;
// An asked user may take a while to answer the portal's dialog.
constexpr auto kConsentLimit = std::chrono::minutes(2);
// A clipboard owner that sends nothing for this long has nothing more to send.
constexpr int kReadStall = 2000;
constexpr std::size_t kClipboardLimit = 64u << 20;

std::string Message(GError* error)
{
    std::string text = error ? error->message : "unknown error";
    if (error)
        g_error_free(error);
    return text;
}

GVariant* PropertyOf(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                     const char* property, GDBusCallFlags flags)
{
    return g_dbus_connection_call_sync(bus, name, path, "org.freedesktop.DBus.Properties", "Get",
                                       g_variant_new("(ss)", interface, property), G_VARIANT_TYPE("(v)"), flags,
                                       5000, nullptr, nullptr);
}

// Reads a pipe to its end; false when the writer stalls or it grows too big.
bool ReadAll(int fd, std::string& out)
{
    char buffer[65536];
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, kReadStall);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return false;
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(buffer, static_cast<std::size_t>(got));
        if (out.size() > kClipboardLimit)
            return false;
    }
}

bool WriteAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t put = write(fd, data.data() + done, data.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Waits until the reader has taken what the pipe holds: a window that has
// read the pasted text has it before the keys typed after it.
bool Drained(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadStall);
    int unread = 0;
    while (ioctl(fd, FIONREAD, &unread) == 0 && unread > 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        usleep(1000);
    }
    return true;
}

int TakeFd(GVariant* reply, GUnixFDList* fds)
{
    gint32 index = -1;
    g_variant_get(reply, "(h)", &index);
    g_variant_unref(reply);
    const int fd = fds ? g_unix_fd_list_get(fds, index, nullptr) : -1;
    if (fds)
        g_object_unref(fds);
    return fd;
}

}  // namespace

bool RemoteDesktopSession::Available(Route& route)
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return false;
    // Shared with the rest of the process, which a bus gone away must not end.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    bool found = false;
    // The portal is started on demand; mutter is there or not.
    if (GVariant* version = PropertyOf(bus, kPortal, kPortalPath, kPortalRemote, "version", G_DBUS_CALL_FLAGS_NONE)) {
        g_variant_unref(version);
        route = Route::Portal, found = true;
    } else if (GVariant* mutter = PropertyOf(bus, kMutter, kMutterPath, kMutter, "Version",
                                             G_DBUS_CALL_FLAGS_NO_AUTO_START)) {
        g_variant_unref(mutter);
        route = Route::Mutter, found = true;
    }
    g_object_unref(bus);
    return found;
}

RemoteDesktopSession::RemoteDesktopSession(Route route) : route_(route)
{
    GError* error = nullptr;
    // A connection of its own: the session ends with it, and nothing else
    // in the process shares its signals.
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address)
        bus_ = g_dbus_connection_new_for_address_sync(
            address, static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                       G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
    g_free(address);
    if (!bus_)
        throw PlatformError("The session bus does not answer: " + Message(error));
    g_dbus_connection_set_exit_on_close(bus_, FALSE);
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    signals_ = std::thread([this] {
        g_main_context_push_thread_default(context_);
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    });
}

RemoteDesktopSession::~RemoteDesktopSession()
{
    for (const unsigned id : subscriptions_)
        g_dbus_connection_signal_unsubscribe(bus_, id);
    // Closing the connection ends the session and releases whatever it holds.
    g_dbus_connection_close_sync(bus_, nullptr, nullptr);
    g_main_loop_quit(loop_);
    signals_.join();
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
    g_object_unref(bus_);
    for (auto& [path, results] : responses_)
        if (results)
            g_variant_unref(results);
}

GVariant* RemoteDesktopSession::Call(const std::string& path, const char* interface, const char* method,
                                     GVariant* parameters, const char* replyType, int timeout)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, route_ == Route::Portal ? kPortal : kMutter, path.c_str(), interface, method, parameters,
        replyType ? G_VARIANT_TYPE(replyType) : nullptr, G_DBUS_CALL_FLAGS_NONE, timeout, nullptr, &error);
    if (!reply)
        throw PlatformError(std::string("GNOME's remote desktop refused ") + method + ": " + Message(error));
    return reply;
}

void RemoteDesktopSession::Subscribe(const char* interface, const std::string& path)
{
    // A subscription delivers its signals to the thread-default context of
    // the thread that makes it: the signal thread's, which it holds.
    struct Request {
        RemoteDesktopSession* self;
        const char* interface;
        const std::string* path;
        bool done = false;
    } request{this, interface, &path};
    g_main_context_invoke(
        context_,
        [](gpointer data) {
            auto* request = static_cast<Request*>(data);
            RemoteDesktopSession* self = request->self;
            const unsigned id = g_dbus_connection_signal_subscribe(
                self->bus_, nullptr, request->interface, nullptr, request->path->c_str(), nullptr,
                G_DBUS_SIGNAL_FLAGS_NONE,
                [](GDBusConnection*, const gchar*, const gchar* object, const gchar*, const gchar* name,
                   GVariant* parameters, gpointer session) {
                    static_cast<RemoteDesktopSession*>(session)->OnSignal(object, name, parameters);
                },
                self, nullptr);
            std::lock_guard lock(self->mutex_);
            self->subscriptions_.push_back(id);
            request->done = true;
            self->changed_.notify_all();
            return G_SOURCE_REMOVE;
        },
        &request);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return request.done; });
}

void RemoteDesktopSession::OnSignal(const std::string& path, const std::string& name, GVariant* parameters)
{
    if (name == "Response") {
        guint32 code = 2;
        GVariant* results = nullptr;
        g_variant_get(parameters, "(u@a{sv})", &code, &results);
        std::lock_guard lock(mutex_);
        if (code != 0) {
            g_variant_unref(results);
            results = nullptr;
        }
        responses_[path] = results;
    } else if (name == "Closed") {
        std::lock_guard lock(mutex_);
        closed_ = true;
    } else if (name == "SelectionOwnerChanged") {
        GVariant* options = g_variant_get_child_value(parameters, 0);
        std::vector<std::string> types;
        gboolean own = FALSE;
        if (GVariant* list = g_variant_lookup_value(options, "mime-types", G_VARIANT_TYPE("(as)"))) {
            GVariant* strings = g_variant_get_child_value(list, 0);
            gsize count = 0;
            const gchar** items = g_variant_get_strv(strings, &count);
            types.assign(items, items + count);
            g_free(items);
            g_variant_unref(strings);
            g_variant_unref(list);
        }
        g_variant_lookup(options, "session-is-owner", "b", &own);
        g_variant_unref(options);
        std::lock_guard lock(mutex_);
        offered_ = std::move(types);
        ownClipboard_ = own;
    } else if (name == "SelectionTransfer") {
        const gchar* mime = nullptr;
        guint32 serial = 0;
        g_variant_get(parameters, "(&su)", &mime, &serial);
        ServeTransfer(mime, serial);
    }
    changed_.notify_all();
}

GVariant* RemoteDesktopSession::PortalRequest(const char* method, GVariant* parameters, const std::string& token,
                                              const std::function<bool()>& stop)
{
    std::string sender = g_dbus_connection_get_unique_name(bus_) + 1;
    for (char& c : sender)
        if (c == '.')
            c = '_';
    const std::string request = std::string(kPortalPath) + "/request/" + sender + "/" + token;
    // Subscribed before the call, so that a quick answer is not missed.
    Subscribe("org.freedesktop.portal.Request", request);
    g_variant_unref(Call(kPortalPath, kPortalRemote, method, parameters, "(o)"));
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + kConsentLimit;
    while (!responses_.count(request)) {
        if ((stop && stop()) || std::chrono::steady_clock::now() > deadline)
            throw PlatformError("GNOME's remote desktop was not allowed in time.");
        changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
    GVariant* results = std::exchange(responses_[request], nullptr);
    responses_.erase(request);
    if (!results)
        throw PlatformError("Typing into other windows was not allowed (GNOME asks once each time Kestrun starts).");
    return results;
}

void RemoteDesktopSession::Start(const std::function<bool()>& stop)
{
    if (started_)
        return;
    if (route_ == Route::Mutter) {
        GVariant* reply = Call(kMutterPath, kMutter, "CreateSession", nullptr, "(o)");
        const gchar* path = nullptr;
        g_variant_get(reply, "(&o)", &path);
        session_ = path;
        g_variant_unref(reply);
        Subscribe(kMutterSession, session_);
        g_variant_unref(Call(session_, kMutterSession, "Start", nullptr, nullptr));
        // The clipboard's owner is told at once, and on every change after.
        GVariantBuilder none;
        g_variant_builder_init(&none, G_VARIANT_TYPE("a{sv}"));
        g_variant_unref(Call(session_, kMutterSession, "EnableClipboard", g_variant_new("(a{sv})", &none), nullptr));
        started_ = true;
        return;
    }
    const std::string base = "kestrun" + std::to_string(getpid()) + "_";
    auto options = [&](const std::string& token) {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&builder, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
        return builder;
    };
    std::string token = base + std::to_string(++requests_);
    GVariantBuilder create = options(token);
    g_variant_builder_add(&create, "{sv}", "session_handle_token", g_variant_new_string(base.c_str()));
    GVariant* results = PortalRequest("CreateSession", g_variant_new("(a{sv})", &create), token, stop);
    const gchar* handle = nullptr;
    if (!g_variant_lookup(results, "session_handle", "&s", &handle)) {
        g_variant_unref(results);
        throw PlatformError("GNOME's remote desktop gave no session.");
    }
    session_ = handle;
    g_variant_unref(results);
    Subscribe("org.freedesktop.portal.Session", session_);

    token = base + std::to_string(++requests_);
    GVariantBuilder select = options(token);
    g_variant_builder_add(&select, "{sv}", "types", g_variant_new_uint32(kKeyboard));
    g_variant_unref(PortalRequest("SelectDevices", g_variant_new("(oa{sv})", session_.c_str(), &select), token, stop));

    token = base + std::to_string(++requests_);
    GVariantBuilder begin = options(token);
    results = PortalRequest("Start", g_variant_new("(osa{sv})", session_.c_str(), "", &begin), token, stop);
    guint32 devices = 0;
    g_variant_lookup(results, "devices", "u", &devices);
    g_variant_unref(results);
    if (!(devices & kKeyboard))
        throw PlatformError("Typing into other windows was not allowed (GNOME asks once each time Kestrun starts).");
    started_ = true;
}

void RemoteDesktopSession::Key(unsigned long keysym, bool down, bool wait)
{
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            throw PlatformError("GNOME closed Kestrun's remote desktop session.");
    }
    const bool mutter = route_ == Route::Mutter;
    GVariantBuilder none;
    g_variant_builder_init(&none, G_VARIANT_TYPE("a{sv}"));
    GVariant* parameters = mutter ? g_variant_new("(ub)", static_cast<guint32>(keysym), down)
                                  : g_variant_new("(oa{sv}iu)", session_.c_str(), &none, static_cast<gint32>(keysym),
                                                  down ? 1u : 0u);
    const std::string& path = mutter ? session_ : std::string(kPortalPath);
    const char* interface = mutter ? kMutterSession : kPortalRemote;
    if (wait) {
        g_variant_unref(Call(path, interface, "NotifyKeyboardKeysym", parameters, nullptr));
        return;
    }
    // Calls on one connection are handled in the order sent: a later call's
    // answer stands for this one too.
    g_dbus_connection_call(bus_, mutter ? kMutter : kPortal, path.c_str(), interface, "NotifyKeyboardKeysym",
                           parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

void RemoteDesktopSession::Sync()
{
    // Answered after the calls before it, which are handled in order.
    const bool mutter = route_ == Route::Mutter;
    g_variant_unref(Call(mutter ? session_ : std::string(kPortalPath), "org.freedesktop.DBus.Properties", "Get",
                         mutter ? g_variant_new("(ss)", kMutterSession, "SessionId")
                                : g_variant_new("(ss)", kPortalRemote, "version"),
                         "(v)"));
}

ClipboardContent RemoteDesktopSession::ReadClipboard()
{
    // Every signal sent before now has been handled once this has run.
    std::size_t drains = 0;
    {
        std::lock_guard lock(mutex_);
        drains = drains_;
    }
    g_main_context_invoke(
        context_,
        [](gpointer self) {
            auto* session = static_cast<RemoteDesktopSession*>(self);
            std::lock_guard lock(session->mutex_);
            ++session->drains_;
            session->changed_.notify_all();
            return G_SOURCE_REMOVE;
        },
        this);
    std::vector<std::string> types;
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(2), [&] { return drains_ != drains; });
        if (ownClipboard_)
            return served_;
        types = offered_;
    }
    ClipboardContent content;
    for (const std::string& type : types) {
        GUnixFDList* fds = nullptr;
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
            bus_, kMutter, session_.c_str(), kMutterSession, "SelectionRead", g_variant_new("(s)", type.c_str()),
            G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &fds, nullptr, &error);
        if (!reply) {
            g_clear_error(&error);
            continue;
        }
        const int fd = TakeFd(reply, fds);
        std::string data;
        const bool whole = fd >= 0 && ReadAll(fd, data);
        if (fd >= 0)
            close(fd);
        if (whole)
            content.data.emplace_back(type, std::move(data));
    }
    return content;
}

void RemoteDesktopSession::SetClipboard(ClipboardContent content)
{
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    if (!content.empty()) {
        GVariantBuilder types;
        g_variant_builder_init(&types, G_VARIANT_TYPE("as"));
        for (const auto& [type, data] : content.data)
            g_variant_builder_add(&types, "s", type.c_str());
        g_variant_builder_add(&options, "{sv}", "mime-types", g_variant_builder_end(&types));
    }
    {
        std::lock_guard lock(mutex_);
        served_ = std::move(content);
        transfers_ = 0;
    }
    g_variant_unref(Call(session_, kMutterSession, "SetSelection", g_variant_new("(a{sv})", &options), nullptr));
}

void RemoteDesktopSession::ServeTransfer(const std::string& mime, unsigned serial)
{
    std::string data;
    bool known = false;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [type, bytes] : served_.data)
            if (type == mime)
                data = bytes, known = true;
    }
    GUnixFDList* fds = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
        bus_, kMutter, session_.c_str(), kMutterSession, "SelectionWrite", g_variant_new("(u)", serial),
        G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &fds, nullptr, nullptr);
    if (!reply)
        return;
    const int fd = TakeFd(reply, fds);
    const bool written = fd >= 0 && known && WriteAll(fd, data) && Drained(fd);
    if (fd >= 0)
        close(fd);
    if (GVariant* done = g_dbus_connection_call_sync(bus_, kMutter, session_.c_str(), kMutterSession,
                                                     "SelectionWriteDone", g_variant_new("(ub)", serial, written),
                                                     nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr))
        g_variant_unref(done);
    std::lock_guard lock(mutex_);
    ++transfers_;
    lastTransfer_ = std::chrono::steady_clock::now();
}

std::size_t RemoteDesktopSession::Transfers()
{
    std::lock_guard lock(mutex_);
    return transfers_;
}

bool RemoteDesktopSession::WaitForTransfers(std::size_t count, std::chrono::milliseconds limit,
                                            std::chrono::milliseconds quiet)
{
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, limit, [&] { return transfers_ >= count; }))
        return false;
    while (std::chrono::steady_clock::now() - lastTransfer_ < quiet)
        changed_.wait_until(lock, lastTransfer_ + quiet);
    return true;
}

}  // namespace kestrun
