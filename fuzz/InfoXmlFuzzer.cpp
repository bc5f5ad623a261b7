// The phone's "Info.xml" reader over any bytes.
#include "FuzzInput.h"
#include "remote/RemoteDocuments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    (void)vx::remote::ReadRemoteSettings(vx::fuzz::WriteInput("Info.xml", data, size));
    return 0;
}
