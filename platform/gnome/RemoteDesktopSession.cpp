#include "platform/gnome/RemoteDesktopSession.h"

#include "platform/PlatformError.h"
#include "platform/gnome/RemoteDesktopNames.h"

#include <gio/gio.h>

#include <unistd.h>

#include <utility>

namespace kestrun {

namespace {


// The portal's device types: a keyboard only.
constexpr guint32 kKeyboard = 1;
// An asked user may take a while to answer the portal's dialog.
constexpr auto kConsentLimit = std::chrono::minutes(2);

// The portal's permission kept across starts of Kestrun (RemoteDesktop 2 and
// later: Debian 12's portal is version 1, which asks at every start).
constexpr guint32 kPersistUntilRevoked = 2;

std::string TokenFile()
{
    return std::string(g_get_user_state_dir()) + "/kestrun/remote-desktop-token";
}

std::string SavedToken()
{
    gchar* text = nullptr;
    std::string token;
    if (g_file_get_contents(TokenFile().c_str(), &text, nullptr, nullptr))
        token = text;
    g_free(text);
    return token;
}

// Written whole or not at all: GLib writes a new file and renames it.
void SaveToken(const std::string& token)
{
    const std::string file = TokenFile();
    gchar* folder = g_path_get_dirname(file.c_str());
    if (g_mkdir_with_parents(folder, 0700) == 0)
        g_file_set_contents_full(file.c_str(), token.c_str(), static_cast<gssize>(token.size()),
                                 G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr);
    g_free(folder);
}

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
        {
            std::lock_guard lock(mutex_);
            ++requested_;
        }
        changed_.notify_all();
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

    guint32 version = 1;
    if (GVariant* property = PropertyOf(bus_, kPortal, kPortalPath, kPortalRemote, "version", G_DBUS_CALL_FLAGS_NONE)) {
        GVariant* value = nullptr;
        g_variant_get(property, "(v)", &value);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32))
            version = g_variant_get_uint32(value);
        g_variant_unref(value);
        g_variant_unref(property);
    }
    token = base + std::to_string(++requests_);
    GVariantBuilder select = options(token);
    g_variant_builder_add(&select, "{sv}", "types", g_variant_new_uint32(kKeyboard));
    const std::string saved = version >= 2 ? SavedToken() : "";
    if (version >= 2)
        g_variant_builder_add(&select, "{sv}", "persist_mode", g_variant_new_uint32(kPersistUntilRevoked));
    if (!saved.empty())
        g_variant_builder_add(&select, "{sv}", "restore_token", g_variant_new_string(saved.c_str()));
    g_variant_unref(PortalRequest("SelectDevices", g_variant_new("(oa{sv})", session_.c_str(), &select), token, stop));

    token = base + std::to_string(++requests_);
    GVariantBuilder begin = options(token);
    results = PortalRequest("Start", g_variant_new("(osa{sv})", session_.c_str(), "", &begin), token, stop);
    guint32 devices = 0;
    g_variant_lookup(results, "devices", "u", &devices);
    // Each token serves once; the next start needs the new one.
    const gchar* restore = nullptr;
    if (g_variant_lookup(results, "restore_token", "&s", &restore))
        SaveToken(restore);
    g_variant_unref(results);
    if (!(devices & kKeyboard))
        throw PlatformError("Typing into other windows was not allowed (GNOME asks once each time Kestrun starts).");
    started_ = true;
}

void RemoteDesktopSession::Key(unsigned long keysym, bool down, bool wait)
{
    Notify("NotifyKeyboardKeysym", static_cast<std::uint32_t>(keysym), down, wait);
}

void RemoteDesktopSession::KeyCode(unsigned code, bool down, bool wait)
{
    Notify("NotifyKeyboardKeycode", code, down, wait);
}

bool RemoteDesktopSession::alive()
{
    std::lock_guard lock(mutex_);
    return started_ && !closed_ && !g_dbus_connection_is_closed(bus_);
}

void RemoteDesktopSession::Notify(const char* method, std::uint32_t value, bool down, bool wait)
{
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            throw PlatformError("GNOME closed Kestrun's remote desktop session.");
    }
    const bool mutter = route_ == Route::Mutter;
    GVariant* parameters = nullptr;
    if (mutter) {
        parameters = g_variant_new("(ub)", value, down);
    } else {
        // Ended by g_variant_new, which takes it.
        GVariantBuilder none;
        g_variant_builder_init(&none, G_VARIANT_TYPE("a{sv}"));
        parameters = g_variant_new("(oa{sv}iu)", session_.c_str(), &none, static_cast<gint32>(value), down ? 1u : 0u);
    }
    const std::string& path = mutter ? session_ : std::string(kPortalPath);
    const char* interface = mutter ? kMutterSession : kPortalRemote;
    if (wait) {
        g_variant_unref(Call(path, interface, method, parameters, nullptr));
        return;
    }
    // Calls on one connection are handled in the order sent: a later call's
    // answer stands for this one too.
    g_dbus_connection_call(bus_, mutter ? kMutter : kPortal, path.c_str(), interface, method,
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

void RemoteDesktopSession::Checkpoint()
{
    const std::uint64_t previous = checkpoints_++;
    // Asked from the signal thread, whose context gets the answer; it goes
    // after every call sent so far, and calls on one connection are
    // answered in order.
    g_main_context_invoke(
        context_,
        [](gpointer data) {
            auto* self = static_cast<RemoteDesktopSession*>(data);
            const bool mutter = self->route_ == Route::Mutter;
            g_dbus_connection_call(
                self->bus_, mutter ? kMutter : kPortal, mutter ? self->session_.c_str() : kPortalPath,
                "org.freedesktop.DBus.Properties", "Get",
                mutter ? g_variant_new("(ss)", kMutterSession, "SessionId")
                       : g_variant_new("(ss)", kPortalRemote, "version"),
                G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                [](GObject* bus, GAsyncResult* result, gpointer session) {
                    auto* self = static_cast<RemoteDesktopSession*>(session);
                    GError* error = nullptr;
                    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
                    std::lock_guard lock(self->mutex_);
                    if (reply)
                        g_variant_unref(reply);
                    else if (self->checkpointError_.empty())
                        self->checkpointError_ = Message(error);
                    ++self->answered_;
                    self->changed_.notify_all();
                },
                self);
            return G_SOURCE_REMOVE;
        },
        this);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return answered_ >= previous || closed_; });
    if (closed_)
        throw PlatformError("GNOME closed Kestrun's remote desktop session.");
    if (!checkpointError_.empty())
        throw PlatformError("GNOME's remote desktop refused a key: " + checkpointError_);
}

}  // namespace kestrun
