#pragma once

#include "document/TaskDocument.h"
#include "platform/PlatformServices.h"
#include "runner/RunServices.h"
#include "settings/CRegSettings.h"
#include "tray/CSysTray.h"
#include "tray/QtNotifyArea.h"

#include <filesystem>
#include <functional>
#include <optional>

namespace kestrun {

/// What the running application owns for its whole life: the task document,
/// the per-user settings store, the notification area and the tray icon in
/// it, and the platform's services. The main window and the task editor get
/// references to them; nothing reaches them through globals.
class KestrunApp {
public:
    /// The document over Kestrun.xml in `documentFolder`, not loaded yet (see
    /// TaskDocument for `reporter` and `schemaFile`). `stopRequested` says
    /// whether the run in progress was asked to stop; the waiting and typing
    /// services ask it, from any thread.
    KestrunApp(const std::filesystem::path& documentFolder, FatalErrorReporter& reporter,
               const std::filesystem::path& schemaFile, std::function<bool()> stopRequested);
    KestrunApp(const KestrunApp&) = delete;
    KestrunApp& operator=(const KestrunApp&) = delete;

    TaskDocument& Document() { return document_; }
    CRegSettings& Settings() { return settings_; }
    QtNotifyArea& NotifyArea() { return notifyArea_; }
    CSysTray& Tray() { return tray_; }
    /// The services of a task run, made at the first call: off the way to
    /// the tray icon, and never for a Kestrun that runs nothing.
    RunServices Services();

private:
    std::function<bool()> stopRequested_;
    TaskDocument document_;
    CRegSettings settings_;
    QtNotifyArea notifyArea_;
    CSysTray tray_{notifyArea_};
    std::optional<PlatformServices> platform_;
};

}  // namespace kestrun
