// Corvanel: the serial port library. Eight C entry points, exported undecorated.
// The program never links against it; it loads libcorvanel.so (Corvanel.dll on Windows) by path
// and resolves these names.
#ifndef CORVANEL_H
#define CORVANEL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
// Corvanel.dll takes its export table, names and ordinals, from corvanel.def.
#define CORVANEL_API
#else
#define CORVANEL_API __attribute__((visibility("default")))
#endif

// Always 0.
CORVANEL_API int32_t GetCOMDLLVersion(void);
// 1 when port COM<port> is open at `baud` with 8 data bits and no parity, 0 otherwise.
CORVANEL_API int32_t OpenComPort(int32_t port, uint32_t baud);
// Always 1.
CORVANEL_API int32_t CloseComPort(void);
// Parallel ports are not supported: both always return 0 and do nothing.
CORVANEL_API int32_t OpenLPTPort(int32_t a, int32_t b);
CORVANEL_API int32_t CloseLPTPort(void);
// One request/response exchange. `response` must hold 1024 bytes; at most 1024 are stored.
// 0 when at least one answer byte arrived, 1 otherwise.
CORVANEL_API int32_t CommunicateRFResult(const uint8_t* request, int32_t requestLength,
                                         uint8_t* response, int32_t* responseCount);
// Releases a block to the library's heap; null is ignored.
CORVANEL_API void FreeComData(void* block);
// 1 when the open port runs at `baud` afterwards, 0 otherwise.
CORVANEL_API int32_t SetCommBaud(uint32_t baud);

#ifdef __cplusplus
}
#endif

#endif
