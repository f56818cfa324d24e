#include "platform/gnome/RemoteDesktopSession.h"

#include "platform/PlatformError.h"
#include "platform/gnome/RemoteDesktopNames.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace kestrun {

namespace {

// A clipboard owner that sends nothing for this long has nothing more to send.
constexpr int kReadStall = 2000;
constexpr std::size_t kClipboardLimit = 64u << 20;
constexpr int kReadAttempts = 50;

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
        // mutter reads one type at a time and is done with the last a moment
        // after its end came: until then it refuses the next.
        GUnixFDList* fds = nullptr;
        GVariant* reply = nullptr;
        for (int attempt = 0; !reply && attempt < kReadAttempts; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            reply = g_dbus_connection_call_with_unix_fd_list_sync(
                bus_, kMutter, session_.c_str(), kMutterSession, "SelectionRead", g_variant_new("(s)", type.c_str()),
                G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &fds, nullptr, nullptr);
        }
        if (!reply)
            continue;
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
        transfers_ = requested_ = 0;
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
    return requested_;
}

bool RemoteDesktopSession::WaitForTransfers(std::size_t count, std::chrono::milliseconds limit,
                                            std::chrono::milliseconds quiet)
{
    // Counted when asked for, so that a slow reader is not taken for none.
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, limit, [&] { return requested_ >= count; }))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now > deadline)
            return true;
        if (transfers_ == requested_ && now - lastTransfer_ >= quiet)
            return true;
        changed_.wait_until(lock, std::min(deadline, transfers_ == requested_ ? lastTransfer_ + quiet : deadline));
    }
}

}  // namespace kestrun
