// The driver settings database: sessions, each with its own copy of the base profile once
// loaded, and the saved base profile (from the rig until the first save). Only 32-bit
// settings are kept; that is all the program writes.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"
#include "gpu/PowerStructs.h"

#include <cstring>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

constexpr uint64_t kSessionTag = 0x5E1F;
constexpr uint64_t kProfileTag = 0x5E20;
constexpr uint32_t kBaseProfileIndex = 0;
// Session numbers live in the 16-bit index of a handle word.
constexpr uint32_t kMaxSessionNumber = 0xFFFF;

using Settings = std::map<uint32_t, uint32_t>;

// The session's entry, or null for a handle that is not an open session of this simulator.
std::optional<Settings>* SessionOf(EntryCall& call, DrsSessionHandle session) {
    const handles::Decoded h = handles::Decode(session);
    if (h.tag != kSessionTag || h.instance != (call.sim().instance & 0xFFFF)) return nullptr;
    auto found = call.sim().drs.sessions.find(h.index);
    return found == call.sim().drs.sessions.end() ? nullptr : &found->second;
}

bool IsBaseProfile(EntryCall& call, DrsProfileHandle profile) {
    const handles::Decoded h = handles::Decode(profile);
    return h.tag == kProfileTag && h.instance == (call.sim().instance & 0xFFFF) && h.index == kBaseProfileIndex;
}

const Settings& Saved(Simulator::Impl& sim) {
    if (!sim.drs.saved) sim.drs.saved = sim.rig.drsBaseProfile;
    return *sim.drs.saved;
}

int32_t SimDrsCreateSession(DrsSessionHandle* session) {
    return ServeEntry(DRS_CreateSession, [&](EntryCall& call) -> int32_t {
        if (!session) return INVALID_ARGUMENT;
        DrsState& drs = call.sim().drs;
        // Skip numbers still open, so a wrapped counter never hands out a live handle twice.
        for (uint32_t tries = 0; tries < kMaxSessionNumber; ++tries) {
            const uint32_t number = drs.nextSession;
            drs.nextSession = number >= kMaxSessionNumber ? 1 : number + 1;
            if (drs.sessions.count(number)) continue;
            drs.sessions.emplace(number, std::nullopt);
            call.Arg(number);
            *session = static_cast<DrsSessionHandle>(handles::Encode(kSessionTag, call.sim().instance, 0, number));
            return OK;
        }
        return ERROR;
    });
}

int32_t SimDrsDestroySession(DrsSessionHandle session) {
    return ServeEntry(DRS_DestroySession, [&](EntryCall& call) -> int32_t {
        if (!SessionOf(call, session)) return INVALID_HANDLE;
        const handles::Decoded h = handles::Decode(session);
        call.Arg(h.index);
        call.sim().drs.sessions.erase(h.index);
        return OK;
    });
}

int32_t SimDrsLoadSettings(DrsSessionHandle session) {
    return ServeEntry(DRS_LoadSettings, [&](EntryCall& call) -> int32_t {
        std::optional<Settings>* settings = SessionOf(call, session);
        if (!settings) return INVALID_HANDLE;
        *settings = Saved(call.sim());
        return OK;
    });
}

int32_t SimDrsSaveSettings(DrsSessionHandle session) {
    return ServeEntry(DRS_SaveSettings, [&](EntryCall& call) -> int32_t {
        std::optional<Settings>* settings = SessionOf(call, session);
        if (!settings) return INVALID_HANDLE;
        if (!*settings) return ERROR;  // nothing loaded to save
        call.sim().drs.saved = **settings;
        call.sim().written.drsBaseProfile = **settings;
        call.sim().Persist();
        return OK;
    });
}

int32_t SimDrsGetBaseProfile(DrsSessionHandle session, DrsProfileHandle* profile) {
    return ServeEntry(DRS_GetBaseProfile, [&](EntryCall& call) -> int32_t {
        if (!SessionOf(call, session)) return INVALID_HANDLE;
        if (!profile) return INVALID_ARGUMENT;
        *profile = static_cast<DrsProfileHandle>(
            handles::Encode(kProfileTag, call.sim().instance, 0, kBaseProfileIndex));
        return OK;
    });
}

int32_t SimDrsGetSetting(DrsSessionHandle session, DrsProfileHandle profile, uint32_t settingId,
                         DrsSetting* setting) {
    return ServeEntry(DRS_GetSetting, [&](EntryCall& call) -> int32_t {
        call.Arg(settingId);
        std::optional<Settings>* settings = SessionOf(call, session);
        if (!settings) return INVALID_HANDLE;
        if (!IsBaseProfile(call, profile)) return INVALID_HANDLE;
        if (!setting) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(setting->version, kDrsSettingVer)) return status;
        if (!*settings) return kDrsSettingNotFound;
        const auto found = (*settings)->find(settingId);
        if (found == (*settings)->end()) return kDrsSettingNotFound;
        std::memset(reinterpret_cast<char*>(setting) + sizeof setting->version, 0,
                    sizeof *setting - sizeof setting->version);
        setting->settingId = settingId;
        setting->settingType = kDrsDwordType;
        setting->currentValue.dword = found->second;
        return OK;
    });
}

int32_t SimDrsSetSetting(DrsSessionHandle session, DrsProfileHandle profile, DrsSetting* setting) {
    return ServeEntry(DRS_SetSetting, [&](EntryCall& call) -> int32_t {
        std::optional<Settings>* settings = SessionOf(call, session);
        if (!settings) return INVALID_HANDLE;
        if (!IsBaseProfile(call, profile)) return INVALID_HANDLE;
        if (!setting) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(setting->version, kDrsSettingVer)) return status;
        call.Arg(setting->settingId);
        call.Arg(setting->currentValue.dword);
        if (setting->settingType != kDrsDwordType) return INVALID_ARGUMENT;
        if (!*settings) return ERROR;  // nothing loaded to change
        (**settings)[setting->settingId] = setting->currentValue.dword;
        return OK;
    });
}

}  // namespace

void* DrsEntryAddress(uint32_t id) {
    switch (id) {
    case DRS_CreateSession: return reinterpret_cast<void*>(&SimDrsCreateSession);
    case DRS_DestroySession: return reinterpret_cast<void*>(&SimDrsDestroySession);
    case DRS_LoadSettings: return reinterpret_cast<void*>(&SimDrsLoadSettings);
    case DRS_SaveSettings: return reinterpret_cast<void*>(&SimDrsSaveSettings);
    case DRS_GetBaseProfile: return reinterpret_cast<void*>(&SimDrsGetBaseProfile);
    case DRS_GetSetting: return reinterpret_cast<void*>(&SimDrsGetSetting);
    case DRS_SetSetting: return reinterpret_cast<void*>(&SimDrsSetSetting);
    default: return nullptr;
    }
}

}  // namespace vx::sim
