// The settings store's file: every setting read at start-up, then one written and read back.
#include <cstdlib>

#include "FuzzInput.h"
#include "app/AppSettings.h"
#include "platform/posix/IniSettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace vx;
    platform::IniSettingsStore store(fuzz::WriteInput("registry.ini", data, size));
    app::AppSettings settings;
    settings.Load(store);
    // A write the store reports as done must be what the next read finds.
    if (store.Write("FuzzValue", 4242) && store.Read("FuzzValue") != 4242u) std::abort();
    return 0;
}
