#include "platform/wayland/DataControl.h"

#include "platform/posix/PipeReaders.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace kestrun {

namespace {

// The protocol's interfaces, as its published description defines them
// (version 1: the clipboard, not the primary selection).
extern const wl_interface kManager, kDevice, kSource, kOffer;

const wl_interface* kNoTypes[] = {nullptr, nullptr};
const wl_interface* kCreateSourceTypes[] = {&kSource};
const wl_interface* kGetDeviceTypes[] = {&kDevice, &wl_seat_interface};
const wl_interface* kSourceArgument[] = {&kSource};
const wl_interface* kOfferArgument[] = {&kOffer};

const wl_message kManagerRequests[] = {
    {"create_data_source", "n", kCreateSourceTypes},
    {"get_data_device", "no", kGetDeviceTypes},
    {"destroy", "", kNoTypes},
};
const wl_message kDeviceRequests[] = {
    {"set_selection", "?o", kSourceArgument},
    {"destroy", "", kNoTypes},
    {"set_primary_selection", "2?o", kSourceArgument},
};
const wl_message kDeviceEvents[] = {
    {"data_offer", "n", kOfferArgument},
    {"selection", "?o", kOfferArgument},
    {"finished", "", kNoTypes},
    {"primary_selection", "2?o", kOfferArgument},
};
const wl_message kSourceRequests[] = {{"offer", "s", kNoTypes}, {"destroy", "", kNoTypes}};
const wl_message kSourceEvents[] = {{"send", "sh", kNoTypes}, {"cancelled", "", kNoTypes}};
const wl_message kOfferRequests[] = {{"receive", "sh", kNoTypes}, {"destroy", "", kNoTypes}};
const wl_message kOfferEvents[] = {{"offer", "s", kNoTypes}};

const wl_interface kManager = {"zwlr_data_control_manager_v1", 2, 3, kManagerRequests, 0, nullptr};
const wl_interface kDevice = {"zwlr_data_control_device_v1", 2, 3, kDeviceRequests, 4, kDeviceEvents};
const wl_interface kSource = {"zwlr_data_control_source_v1", 1, 2, kSourceRequests, 2, kSourceEvents};
const wl_interface kOffer = {"zwlr_data_control_offer_v1", 1, 2, kOfferRequests, 1, kOfferEvents};

enum : std::uint32_t { kCreateSource = 0, kGetDevice = 1, kManagerDestroy = 2 };
enum : std::uint32_t { kSetSelection = 0, kDeviceDestroy = 1 };
enum : std::uint32_t { kSourceOffer = 0, kSourceDestroy = 1 };
enum : std::uint32_t { kReceive = 0, kOfferDestroy = 1 };

// What a clipboard holds beyond this is not kept (nor given back).
constexpr std::size_t kMostSaved = 64u << 20;

void Destroy(wl_proxy* proxy, std::uint32_t opcode)
{
    if (proxy)
        wl_proxy_marshal_flags(proxy, opcode, nullptr, wl_proxy_get_version(proxy), WL_MARSHAL_FLAG_DESTROY);
}

bool WriteAll(int fd, const std::string& data)
{
    // The reader may be slow; a blocking write waits for it.
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t written = write(fd, data.data() + done, data.size() - done);
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

struct DataControl::Offered {
    wl_proxy* offer = nullptr;
    std::vector<std::string> types;
    ~Offered() { Destroy(offer, kOfferDestroy); }
};

struct DataControl::Source {
    wl_proxy* source = nullptr;
    std::map<std::string, std::string> content;
    bool sent = false;
    bool watched = false;  // the readers of what it sends are watched until they are done
    std::vector<PipeReaders> readers;
    std::atomic<bool> cancelled{false};
    ~Source() { Destroy(source, kSourceDestroy); }
};

namespace {

struct DeviceListener {
    void (*dataOffer)(void*, wl_proxy*, wl_proxy*);
    void (*selection)(void*, wl_proxy*, wl_proxy*);
    void (*finished)(void*, wl_proxy*);
    void (*primarySelection)(void*, wl_proxy*, wl_proxy*);
};
struct OfferListener {
    void (*offer)(void*, wl_proxy*, const char*);
};
struct SourceListener {
    void (*send)(void*, wl_proxy*, const char*, int32_t);
    void (*cancelled)(void*, wl_proxy*);
};

const OfferListener kOfferListener = {[](void* data, wl_proxy*, const char* type) {
    static_cast<DataControl::Offered*>(data)->types.emplace_back(type);
}};

const SourceListener kSourceListener = {
    [](void* data, wl_proxy*, const char* type, int32_t fd) {
        auto* source = static_cast<DataControl::Source*>(data);
        const auto it = source->content.find(type);
        if (source->watched)
            source->readers.emplace_back(fd);
        if (it != source->content.end())
            WriteAll(fd, it->second);
        source->sent = true;
        close(fd);
    },
    [](void* data, wl_proxy*) { static_cast<DataControl::Source*>(data)->cancelled = true; },
};

struct RegistryListener {
    void (*global)(void*, wl_registry*, uint32_t, const char*, uint32_t);
    void (*globalRemove)(void*, wl_registry*, uint32_t);
};

}  // namespace

std::unique_ptr<DataControl> DataControl::Open()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name)
        return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<DataControl> control(new DataControl(display));
    if (wl_display_roundtrip(display) < 0 || !control->manager_ || !control->seat_)
        return nullptr;
    control->device_ = wl_proxy_marshal_flags(control->manager_, kGetDevice, &kDevice,
                                              wl_proxy_get_version(control->manager_), 0, nullptr, control->seat_);
    static const DeviceListener deviceListener = {
        [](void* data, wl_proxy*, wl_proxy* offer) {
            auto* self = static_cast<DataControl*>(data);
            self->incoming_ = std::make_unique<Offered>();
            self->incoming_->offer = offer;
            wl_proxy_add_listener(offer, reinterpret_cast<void (**)(void)>(const_cast<OfferListener*>(&kOfferListener)),
                                  self->incoming_.get());
        },
        [](void* data, wl_proxy*, wl_proxy* offer) {
            auto* self = static_cast<DataControl*>(data);
            if (offer && self->incoming_ && self->incoming_->offer == offer)
                self->selection_ = std::move(self->incoming_);
            else
                self->selection_.reset();
        },
        [](void*, wl_proxy*) {},
        [](void*, wl_proxy*, wl_proxy*) {},
    };
    wl_proxy_add_listener(control->device_,
                          reinterpret_cast<void (**)(void)>(const_cast<DeviceListener*>(&deviceListener)),
                          control.get());
    if (wl_display_roundtrip(display) < 0)
        return nullptr;
    return control;
}

DataControl::DataControl(wl_display* display) : display_(display)
{
    static const RegistryListener registryListener = {
        [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
            auto* self = static_cast<DataControl*>(data);
            if (std::strcmp(interface, kManager.name) == 0 && !self->manager_)
                self->manager_ = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kManager, 1));
            else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_)
                self->seat_ = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        },
        [](void*, wl_registry*, uint32_t) {},
    };
    wl_registry* registry = wl_display_get_registry(display_);
    registry_ = reinterpret_cast<wl_proxy*>(registry);
    wl_registry_add_listener(registry, reinterpret_cast<const wl_registry_listener*>(&registryListener), this);
}

DataControl::~DataControl()
{
    StopServing();
    source_.reset();
    selection_.reset();
    incoming_.reset();
    Destroy(device_, kDeviceDestroy);
    Destroy(manager_, kManagerDestroy);
    if (seat_)
        wl_proxy_destroy(seat_);
    wl_proxy_destroy(registry_);
    wl_display_disconnect(display_);
}

bool DataControl::Dispatch(int timeoutMs)
{
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0)
            return false;
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display_);
        return false;
    }
    pollfd socket{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&socket, 1, timeoutMs) > 0) {
        if (wl_display_read_events(display_) < 0)
            return false;
    } else {
        wl_display_cancel_read(display_);
    }
    return wl_display_dispatch_pending(display_) >= 0;
}

void DataControl::StopServing()
{
    if (server_.joinable()) {
        stop_ = true;
        server_.join();
        stop_ = false;
    }
}

bool DataControl::Save()
{
    StopServing();
    // What was given back and is still ours is the user's already.
    if (source_ && !source_->cancelled && source_->content == saved_)
        return true;
    if (wl_display_roundtrip(display_) < 0)
        return false;
    saved_.clear();
    savedEmpty_ = !selection_;
    if (!selection_)
        return true;
    std::size_t total = 0;
    for (const std::string& type : selection_->types) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            return false;
        wl_proxy_marshal_flags(selection_->offer, kReceive, nullptr, wl_proxy_get_version(selection_->offer), 0,
                               type.c_str(), ends[1]);
        wl_display_flush(display_);
        close(ends[1]);
        std::string content;
        char buffer[65536];
        for (;;) {
            pollfd in{ends[0], POLLIN, 0};
            if (poll(&in, 1, 2000) <= 0)
                break;
            const ssize_t got = read(ends[0], buffer, sizeof buffer);
            if (got <= 0)
                break;
            content.append(buffer, static_cast<std::size_t>(got));
            if (total + content.size() > kMostSaved)
                break;
        }
        close(ends[0]);
        total += content.size();
        if (total > kMostSaved)
            return false;
        saved_[type] = std::move(content);
    }
    return true;
}

void DataControl::NewSource(std::map<std::string, std::string> content)
{
    auto source = std::make_unique<Source>();
    source->content = std::move(content);
    source->source = wl_proxy_marshal_flags(manager_, kCreateSource, &kSource, wl_proxy_get_version(manager_), 0,
                                            nullptr);
    wl_proxy_add_listener(source->source,
                          reinterpret_cast<void (**)(void)>(const_cast<SourceListener*>(&kSourceListener)),
                          source.get());
    for (const auto& [type, data] : source->content)
        wl_proxy_marshal_flags(source->source, kSourceOffer, nullptr, 1, 0, type.c_str());
    wl_proxy_marshal_flags(device_, kSetSelection, nullptr, wl_proxy_get_version(device_), 0, source->source);
    source_ = std::move(source);
}

void DataControl::Offer(const std::string& text)
{
    StopServing();
    std::map<std::string, std::string> content;
    for (const char* type : {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"})
        content[type] = text;
    NewSource(std::move(content));
    source_->watched = true;
    wl_display_roundtrip(display_);
}

bool DataControl::WaitUntilPasted(int patience)
{
    // A window may still be reading the text, or not have put it in yet,
    // when the clipboard changes again: GTK then drops the paste it was
    // reading and puts the next one in twice, or pastes what the clipboard
    // holds next (the user's own content). So the paste is taken once every
    // process that read it has closed its pipe, having read it to its end.
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::milliseconds(patience);
    const auto taken = [this] {
        return source_->sent && std::none_of(source_->readers.begin(), source_->readers.end(),
                                             [](PipeReaders& readers) { return readers.Remain(); });
    };
    while (source_ && !taken()) {
        if (std::chrono::steady_clock::now() > deadline)
            break;
        if (!Dispatch(source_->sent ? 2 : 20))
            return false;
    }
    // A reader that keeps the pipe open past the patience has had what it asked for.
    return source_ && source_->sent;
}

void DataControl::Restore()
{
    StopServing();
    if (savedEmpty_) {
        source_.reset();
        wl_proxy_marshal_flags(device_, kSetSelection, nullptr, wl_proxy_get_version(device_), 0, nullptr);
        wl_display_roundtrip(display_);
        return;
    }
    Serve(saved_);
}

void DataControl::Serve(std::map<std::string, std::string> content)
{
    StopServing();
    NewSource(std::move(content));
    wl_display_roundtrip(display_);
    server_ = std::thread([this] {
        while (!stop_ && source_ && !source_->cancelled)
            if (!Dispatch(100))
                return;
    });
}

bool DataControl::Serving() const { return source_ && !source_->cancelled; }

}  // namespace kestrun
