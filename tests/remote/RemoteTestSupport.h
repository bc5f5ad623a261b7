#pragma once
// A host that records what the phone asked for, and frames as a test writes and reads them.
#include <mutex>
#include <string>
#include <vector>

#include "remote/RemoteProtocol.h"
#include "remote/RemoteSession.h"

namespace vx::test {

class RecordingHost : public remote::RemoteHost {
public:
    int32_t StoredPassword() const override { return password; }
    bool PasswordlessLoginAllowed() const override { return passwordless; }
    void PressButton(uint8_t command) override {
        std::lock_guard lock(mutex);
        presses.push_back(command);
    }
    void InfoDocumentReceived(bool authorised) override {
        std::lock_guard lock(mutex);
        documents.push_back(authorised);
    }
    void ClientOverTime() override { ++overTimes; }

    std::vector<uint8_t> Presses() {
        std::lock_guard lock(mutex);
        return presses;
    }
    std::vector<bool> Documents() {
        std::lock_guard lock(mutex);
        return documents;
    }

    std::atomic<int32_t> password{482915};
    std::atomic<bool> passwordless{false};
    std::atomic<int> overTimes{0};

private:
    std::mutex mutex;
    std::vector<uint8_t> presses;
    std::vector<bool> documents;  // whether the client was authorised at each upload
};

/// A header announcing `length` bytes, whatever follows.
inline std::string Header(uint8_t code, uint32_t length) {
    std::string header = remote::EncodeFrame(code);
    for (int i = 0; i < 4; ++i) header[7 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return header;
}

}  // namespace vx::test
