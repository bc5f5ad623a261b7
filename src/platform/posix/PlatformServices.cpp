#include "platform/PlatformServices.h"

#include "platform/posix/DesktopAutostart.h"
#include "platform/posix/IniSettingsStore.h"
#include "platform/posix/PosixInstanceGuard.h"
#include "platform/posix/PosixSystemActions.h"  // temperature alarm
#include "platform/posix/SystemdServiceControl.h"

namespace vx::platform {

PlatformServices MakePlatformServices(const AppPaths& paths) {
    PlatformServices services;
    services.settingsStore =
        std::make_unique<IniSettingsStore>(paths.configDir / "veltrix-plus" / "registry.ini");
    services.autostart =
        std::make_unique<DesktopAutostart>(paths.configDir / "autostart" / "veltrix-plus.desktop");
    services.instanceGuard = std::make_unique<PosixInstanceGuard>(paths.runtimeDir);
    // The LCD module's service is a user unit: installing it needs no root.
    services.serviceControl = std::make_unique<SystemdServiceControl>(
        "systemctl", SystemdServiceControl::kDefaultTimeout, /*userUnits=*/true);
    services.systemActions = std::make_unique<PosixSystemActions>();  // temperature alarm
    return services;
}

}  // namespace vx::platform
