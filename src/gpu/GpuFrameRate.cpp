// The frame-rate target: the driver-wide frame-rate limiter on the base profile of the
// driver settings database, reached through a session made and ended within one call.
#include "gpu/GpuAccess.h"

#include "gpu/NvApiIds.h"

#include <memory>

namespace vx {

namespace {

// A driver settings session that is destroyed on every path; Close() reports the status of
// the destroy when the caller needs it.
class DrsSession {
public:
    explicit DrsSession(driver::DriverBinding& binding) : binding_(binding) {}
    DrsSession(const DrsSession&) = delete;
    DrsSession& operator=(const DrsSession&) = delete;
    ~DrsSession() { Close(); }

    int32_t Open() { return binding_.Call<nvapi::DrsCreateSessionFn>(nvapi::DRS_CreateSession, &handle_); }
    int32_t Close() {
        if (!handle_) return nvapi::OK;
        const nvapi::DrsSessionHandle handle = handle_;
        handle_ = nullptr;
        return binding_.Call<nvapi::DrsSessionFn>(nvapi::DRS_DestroySession, handle);
    }
    nvapi::DrsSessionHandle handle() const { return handle_; }

private:
    driver::DriverBinding& binding_;
    nvapi::DrsSessionHandle handle_ = nullptr;
};

// The setting record is 12 KB: kept off the stack.
std::unique_ptr<nvapi::DrsSetting> FrameRateRecord() {
    auto setting = std::make_unique<nvapi::DrsSetting>();
    setting->version = nvapi::kDrsSettingVer;
    setting->settingId = nvapi::kDrsFrameRateLimiter;
    setting->settingType = nvapi::kDrsDwordType;
    return setting;
}

// Session, load and base profile; the first failing status, else 0.
int32_t OpenBaseProfile(driver::DriverBinding& binding, DrsSession& session, nvapi::DrsProfileHandle& profile) {
    if (int32_t status = session.Open()) return status;
    if (int32_t status = binding.Call<nvapi::DrsSessionFn>(nvapi::DRS_LoadSettings, session.handle())) return status;
    return binding.Call<nvapi::DrsGetBaseProfileFn>(nvapi::DRS_GetBaseProfile, session.handle(), &profile);
}

}  // namespace

int32_t GpuAccess::GetFrameRateLimit(uint32_t& value) {
    driver::DriverBinding& binding = api_.binding();
    DrsSession session(binding);
    nvapi::DrsProfileHandle profile = nullptr;
    if (int32_t status = OpenBaseProfile(binding, session, profile)) return status;
    auto setting = FrameRateRecord();
    if (int32_t status = binding.Call<nvapi::DrsGetSettingFn>(nvapi::DRS_GetSetting, session.handle(), profile,
                                                              nvapi::kDrsFrameRateLimiter, setting.get()))
        return status;
    if (int32_t status = binding.Call<nvapi::DrsSessionFn>(nvapi::DRS_SaveSettings, session.handle())) return status;
    if (int32_t status = session.Close()) return status;
    value = setting->currentValue.dword;
    return nvapi::OK;
}

int32_t GpuAccess::SetFrameRateLimit(uint32_t value, bool disable) {
    driver::DriverBinding& binding = api_.binding();
    DrsSession session(binding);
    nvapi::DrsProfileHandle profile = nullptr;
    if (int32_t status = OpenBaseProfile(binding, session, profile)) return status;
    auto setting = FrameRateRecord();
    setting->currentValue.dword = disable ? 0u : value - nvapi::kDrsFrameRateBias;
    if (int32_t status =
            binding.Call<nvapi::DrsSetSettingFn>(nvapi::DRS_SetSetting, session.handle(), profile, setting.get()))
        return status;
    if (int32_t status = binding.Call<nvapi::DrsSessionFn>(nvapi::DRS_SaveSettings, session.handle())) return status;
    return session.Close();
}

}  // namespace vx
