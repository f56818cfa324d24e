#include "app/KestrunApp.h"

#include <utility>

namespace kestrun {

KestrunApp::KestrunApp(const std::filesystem::path& documentFolder, FatalErrorReporter& reporter,
                       const std::filesystem::path& schemaFile, std::function<bool()> stopRequested)
    : stopRequested_(std::move(stopRequested)), document_(documentFolder, reporter, schemaFile)
{
}

RunServices KestrunApp::Services()
{
    if (!platform_)
        platform_ = MakePlatformServices(stopRequested_);
    RunServices services{*platform_->files, *platform_->programs, *platform_->opener,
                         *platform_->sleeper, *platform_->windows, *platform_->keys};
    services.stopKey = platform_->stopKey.get();
    services.typingRoute = platform_->typingRoute;
    return services;
}

}  // namespace kestrun
