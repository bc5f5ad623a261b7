#pragma once
// The platform's implementations of the seams, made once by the front end.
#include <memory>

#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/InstanceGuard.h"
#include "platform/ServiceControl.h"
#include "platform/SettingsStore.h"
#include "platform/SystemActions.h"  // temperature alarm

namespace vx::platform {

struct PlatformServices {
    std::unique_ptr<SettingsStore> settingsStore;
    std::unique_ptr<Autostart> autostart;
    std::unique_ptr<InstanceGuard> instanceGuard;
    std::unique_ptr<ServiceControl> serviceControl;
    std::unique_ptr<SystemActions> systemActions;  // temperature alarm
};

PlatformServices MakePlatformServices(const AppPaths& paths);

}  // namespace vx::platform
