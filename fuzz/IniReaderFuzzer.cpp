// The settings-file reader over any bytes, and the lookups the loaders make.
#include "FuzzInput.h"
#include "platform/CIni.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using vx::tuning::CIni;
    const std::string_view bytes = vx::fuzz::Bytes(data, size);
    CIni ini;
    if (ini.ParseBytes(bytes)) {
        for (const char* section : {"Gpu0", "gpu", "", "Gpu9"})
            for (const char* key : {"Id", "GpuClock3", "", "Lcm"}) {
                (void)ini.GetUtf8(section, key);
                int32_t value = 0;
                ini.GetInt(section, key, value);
            }
    }
    // The conversions on their own: UTF-8 in, UTF-16 through the integer reader and back.
    const std::u16string units = CIni::FromUtf8(bytes);
    (void)CIni::ToInt(units);
    (void)CIni::ToUtf8(units);
    return 0;
}
