#pragma once
// The settings file over the simulated demo rig (GPU 0 with VF points, GPU 1 on P-state 2.0),
// with its program folder in a fresh temporary folder.
#include <string>

#include "support/TempDir.h"
#include "tuning/ApplyWrites.h"
#include "platform/CIni.h"
#include "tuning/ProfileSlots.h"
#include "tuning/TuningFixture.h"
#include "tuning/UserSettingsFile.h"

namespace vx::tuningtest {

class SettingsFileFixture : public TuningFixture {
protected:
    ~SettingsFileFixture() override {
        profiles.reset();
        if (file) file->AttachDialog(nullptr);
        dialog.reset();
        file.reset();
    }

    /// The dialog set up over `rig`; hide and quit save or delete through the file, RESET
    /// resets the slot looks.
    void StartRig(sim::Rig rig = DemoRig()) {
        hooks.saveOrDeleteUserSettings = [this] { file->SaveOrDelete(settings.restoreUserSettings); };
        hooks.resetProfileSlots = [this] {
            if (profiles) profiles->ResetLooks();
        };
        StartDialog(std::move(rig));
        file = std::make_unique<tuning::UserSettingsFile>(*gpus, clock, dir.path(), last);
        file->AttachDialog(dialog.get());
        profiles = std::make_unique<tuning::ProfileSlots>(*file, *dialog, prompts, clock);
    }

    /// UTF-16LE bytes of `text` (UTF-8) with the byte-order mark.
    static std::string Utf16Bytes(const std::string& text) {
        std::u16string units = tuning::CIni::FromUtf8(text);
        units.insert(units.begin(), char16_t{0xFEFF});
        std::string bytes;
        for (char16_t c : units) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        return bytes;
    }
    /// The text of UTF-16LE bytes as UTF-8, byte-order mark included.
    static std::string Text(const std::string& bytes) {
        std::u16string units;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8));
        return tuning::CIni::ToUtf8(units);
    }
    void WriteSettings(const std::string& name, const std::string& text) {
        test::TempDir::WriteFile(dir / name, Utf16Bytes(text));
    }

    int32_t FanMode(uint8_t gpu) {
        int32_t mode = 0;
        gpus->GetFanMode(gpu, mode);
        return mode;
    }
    int32_t FanLevel(uint8_t gpu) {
        FanMode(gpu);  // the driver's cooler path reports the level the mode read found
        int32_t level = -1;
        gpus->GetFanSpeed(gpu, level, false);
        return level;
    }
    int32_t PowerTargetPercent(uint8_t gpu) {
        nvapi::PowerPoliciesStatus status{};
        status.version = nvapi::kPowerPoliciesStatusVer;
        status.count = 1;
        status.entries[0].policyId = nvapi::kPowerPolicyTotalGpu;
        if (gpus->GetPowerPoliciesStatus(gpu, status) != 0) return -1;
        return static_cast<int32_t>(status.entries[0].powerLimit / 1000);
    }
    int32_t GraphicsOffsetMhz(uint8_t gpu) {
        int32_t graphics = 0, memory = 0;
        tuning::applywrites::ReadPstate0Offsets(*gpus, gpu, graphics, memory);
        return graphics / 1000;
    }
    void SetPowerTarget(uint8_t gpu, uint32_t percent) {
        uint32_t before = 0;
        bool readOk = false;
        ASSERT_EQ(tuning::applywrites::WritePowerTarget(*gpus, gpu, percent * 1000, before, readOk), 0);
    }

    test::TempDir dir;
    tuning::LastLoadedRecord last{};
    std::unique_ptr<tuning::UserSettingsFile> file;
    std::unique_ptr<tuning::ProfileSlots> profiles;
};

}  // namespace vx::tuningtest
