#include "app/KestrunApp.h"

#include <utility>

namespace kestrun {

KestrunApp::KestrunApp(std::function<bool()> stopRequested) : stopRequested_(std::move(stopRequested)) {}

RunServices KestrunApp::Services()
{
    if (!platform_)
        platform_ = MakePlatformServices(stopRequested_);
    return {*platform_->files, *platform_->programs, *platform_->opener,
            *platform_->sleeper, *platform_->windows, *platform_->keys};
}

}  // namespace kestrun
