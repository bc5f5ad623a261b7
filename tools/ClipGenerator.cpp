// Writes the speaker test's clips (clip1.wav ... clip8.wav) into the folder given; the same
// bytes on every machine. Run by the build (target speaker-clips).
#include <cstdio>
#include <filesystem>

#include "peripherals/SpeakerClips.h"
#include "platform/AtomicFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (const vx::peripherals::SpeakerRow& row : vx::peripherals::DefaultSpeakerTable()) {
        if (!vx::platform::WriteFileAtomically(folder / row.clip,
                                               vx::platform::EncodeWave(vx::peripherals::MakeSpeakerClip(row)))) {
            std::fprintf(stderr, "cannot write %s\n", (folder / row.clip).c_str());
            return 1;
        }
    }
    return 0;
}
