// The exported entry points. Everything goes through the one port object of the process.
#include "corvanel.h"

#include <cstdlib>

#include "serial_port.h"

namespace {

// The library's single global object: it owns the port for as long as the library is loaded,
// so unloading closes a port that is still open.
class CCorvanelApp {
public:
    CCorvanelApp() = default;
    virtual ~CCorvanelApp() = default;
    CCorvanelApp(const CCorvanelApp&) = delete;
    CCorvanelApp& operator=(const CCorvanelApp&) = delete;

    CSerialPort m_port;
};

CCorvanelApp theApp;

constexpr std::uint32_t kQueueSize = 1024;

// No exception may reach a C caller: finding a port allocates, and the allocation may fail.
template <typename Work>
std::int32_t Guarded(std::int32_t failure, Work work) noexcept {
    try {
        return work();
    } catch (...) {
        return failure;
    }
}

}  // namespace

extern "C" {

int32_t GetCOMDLLVersion(void) {
    return 0;
}

int32_t OpenComPort(int32_t port, uint32_t baud) {
    return Guarded(0, [&] { return theApp.m_port.Open(port, baud, kQueueSize, kQueueSize); });
}

int32_t CloseComPort(void) {
    return Guarded(1, [] { return theApp.m_port.Close(); });
}

int32_t OpenLPTPort(int32_t, int32_t) {
    return 0;
}

int32_t CloseLPTPort(void) {
    return 0;
}

int32_t CommunicateRFResult(const uint8_t* request, int32_t requestLength, uint8_t* response,
                            int32_t* responseCount) {
    return Guarded(1, [&] {
        const int result =
            theApp.m_port.Communicate(request, requestLength, response, responseCount);
        return result == 0 ? 0 : 1;
    });
}

void FreeComData(void* block) {
    std::free(block);
}

int32_t SetCommBaud(uint32_t baud) {
    return Guarded(0, [&] { return theApp.m_port.SetBaud(baud); });
}

}  // extern "C"
