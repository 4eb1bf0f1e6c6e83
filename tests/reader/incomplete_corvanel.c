/* A port library that lacks one of the eight entry points (OpenLPTPort). Every entry point counts
 * its calls, so a test can tell that none was used. */
#include <stdint.h>

#if defined(_WIN32)
#define EXPORT __declspec(dllexport)
#else
#define EXPORT __attribute__((visibility("default")))
#endif

EXPORT int incomplete_corvanel_calls = 0;

EXPORT int32_t GetCOMDLLVersion(void) {
    return ++incomplete_corvanel_calls, 0;
}
EXPORT int32_t OpenComPort(int32_t port, uint32_t baud) {
    (void)port;
    (void)baud;
    return ++incomplete_corvanel_calls, 1;
}
EXPORT int32_t CloseComPort(void) {
    return ++incomplete_corvanel_calls, 1;
}
EXPORT int32_t CloseLPTPort(void) {
    return ++incomplete_corvanel_calls, 0;
}
EXPORT int32_t CommunicateRFResult(const uint8_t* request, int32_t requestLength, uint8_t* response,
                                   int32_t* responseCount) {
    (void)request;
    (void)requestLength;
    (void)response;
    *responseCount = 1;
    return ++incomplete_corvanel_calls, 0;
}
EXPORT void FreeComData(void* block) {
    (void)block;
    ++incomplete_corvanel_calls;
}
EXPORT int32_t SetCommBaud(uint32_t baud) {
    (void)baud;
    return ++incomplete_corvanel_calls, 1;
}
