// Feeds arbitrary answers, with arbitrary reported response counts, to the answer handling of the
// four reader commands.
//
// Input: byte 0 selects the command (bits 0-1), the 12-byte write form (bit 2), a transport
// failure with result byte 1 (bit 3) and a reported count from bytes 1-4, little-endian (bit 4);
// the answer bytes start at byte 5.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fake_port_library.h"
#include "port_library.h"
#include "reader_link.h"

namespace {

constexpr std::size_t kHeader = 5;
constexpr std::uint8_t kUntouched = 0x5A;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The read buffer with a guard behind it, so an overrun shows even inside one object.
struct GuardedReadBuffer {
    std::uint8_t bytes[kReadBufferSize];
    std::uint8_t guard[kReadBufferSize];
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_portLibrary.Reset(new FakePortLibrary);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size < kHeader) {
        return -1;
    }
    const std::uint8_t control = input[0];
    FakeTransport& fake = g_fakeTransport;
    fake = FakeTransport{};
    fake.result = (control & 0x08) != 0 ? input[1] : 0;
    fake.overrideCount = (control & 0x10) != 0;
    std::memcpy(&fake.reportedCount, input + 1, sizeof fake.reportedCount);
    fake.SetAnswer(input + kHeader, size - kHeader);

    CReaderLink link;
    int result = 0;
    switch (control & 0x03) {
        case 0:
            result = link.Check(0);
            break;
        case 1: {
            GuardedReadBuffer buffer;
            std::memset(&buffer, kUntouched, sizeof buffer);
            result = link.ReadTag(0, buffer.bytes);
            for (const std::uint8_t byte : buffer.guard) {
                Require(byte == kUntouched);
            }
            if (result != 0) {
                for (const std::uint8_t byte : buffer.bytes) {
                    Require(byte == kUntouched);
                }
            } else {
                Require(buffer.bytes[0] == 0);
            }
            break;
        }
        case 2: {
            std::uint8_t record[12] = {};
            record[7] = (control & 0x04) != 0 ? 1 : 0;
            result = link.WriteTag(0, record);
            break;
        }
        default:
            result = link.Signal(0);
            break;
    }
    Require(fake.calls == 1);
    if (fake.result != 0) {
        Require(result == fake.result);
    } else {
        Require(result >= 0 && result <= 0xFF);
    }
    return 0;
}
