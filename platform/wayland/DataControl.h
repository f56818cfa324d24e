#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

struct wl_display;
struct wl_proxy;

namespace kestrun {

/// The seat's clipboard through wlroots' data-control protocol
/// (zwlr_data_control_manager_v1), which KWin offers too: on a connection
/// and a thread of its own, so that the user's clipboard, once given back,
/// is served for as long as no one else takes the clipboard.
class DataControl {
public:
    /// nullptr when the compositor offers no data control or no seat.
    static std::unique_ptr<DataControl> Open();
    ~DataControl();
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

    /// Keeps what the clipboard holds now, each of its types, to give back.
    /// False when it cannot be read whole.
    bool Save();
    /// Puts `text` on the clipboard as plain text.
    void Offer(const std::string& text);
    /// Waits up to `patience` until some program has read the offered text;
    /// whether one did.
    bool WaitUntilPasted(int patience);
    /// Puts back what Save kept (nothing when the clipboard held nothing) and
    /// serves it on a thread until another program takes the clipboard.
    void Restore();
    /// Puts `content` (data by type) on the clipboard and serves it on a
    /// thread until another program takes the clipboard.
    void Serve(std::map<std::string, std::string> content);
    /// Whether what this program serves is still the clipboard's.
    bool Serving() const;
    /// What the last Save kept, by type.
    const std::map<std::string, std::string>& Saved() const { return saved_; }

    struct Offered;
    struct Source;

private:
    explicit DataControl(wl_display* display);
    void StopServing();
    bool Dispatch(int timeoutMs);
    void NewSource(std::map<std::string, std::string> content);

    wl_display* display_ = nullptr;
    wl_proxy* registry_ = nullptr;
    wl_proxy* manager_ = nullptr;
    wl_proxy* seat_ = nullptr;
    wl_proxy* device_ = nullptr;
    std::unique_ptr<Offered> selection_;   // what the clipboard holds, as last told
    std::unique_ptr<Offered> incoming_;    // an offer being described
    std::unique_ptr<Source> source_;       // what this program offers
    std::map<std::string, std::string> saved_;
    bool savedEmpty_ = true;
    std::thread server_;
    std::atomic<bool> stop_{false};
};

}  // namespace kestrun
