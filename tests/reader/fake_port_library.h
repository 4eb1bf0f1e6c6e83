// A binding whose CommunicateRFResult is a scripted reader: it keeps the request it was sent and
// answers with whatever the test put in g_fakeTransport. No heap use on the exchange path.
#ifndef PELORIN_TESTS_FAKE_PORT_LIBRARY_H
#define PELORIN_TESTS_FAKE_PORT_LIBRARY_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "port_library.h"
#include "reader_link.h"

struct FakeTransport {
    std::int32_t result = 0;  // what CommunicateRFResult returns
    std::uint8_t answer[kFrameAreaSize] = {};
    std::size_t answerLength = 0;  // bytes stored into the response area
    bool overrideCount = false;    // report reportedCount instead of answerLength
    std::int32_t reportedCount = 0;
    std::uint8_t request[kFrameAreaSize] = {};
    std::size_t requestLength = 0;
    int calls = 0;

    void SetAnswer(std::initializer_list<std::uint8_t> bytes) {
        SetAnswer(std::data(bytes), bytes.size());
    }
    void SetAnswer(const std::uint8_t* bytes, std::size_t length) {
        answerLength = std::min(length, kFrameAreaSize);
        std::memcpy(answer, bytes, answerLength);
    }
};

inline FakeTransport g_fakeTransport;

class FakePortLibrary : public CPortLibrary {
public:
    FakePortLibrary() { m_pfnCommunicateRFResult = &Communicate; }

private:
    static std::int32_t Communicate(const std::uint8_t* request, std::int32_t requestLength,
                                    std::uint8_t* response, std::int32_t* responseCount) {
        FakeTransport& fake = g_fakeTransport;
        ++fake.calls;
        fake.requestLength =
            std::min(static_cast<std::size_t>(std::max(requestLength, 0)), kFrameAreaSize);
        std::memcpy(fake.request, request, fake.requestLength);
        if (fake.result != 0) {
            return fake.result;
        }
        // Like the real library: never more than the 1024-byte area, whatever count it reports.
        std::memcpy(response, fake.answer, fake.answerLength);
        *responseCount =
            fake.overrideCount ? fake.reportedCount : static_cast<std::int32_t>(fake.answerLength);
        return 0;
    }
};

#endif
