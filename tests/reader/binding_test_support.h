// What the binding tests of both platforms look at: the messages shown, the entry points left,
// and a temporary directory.
#ifndef PELORIN_TESTS_BINDING_TEST_SUPPORT_H
#define PELORIN_TESTS_BINDING_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "port_library.h"
#include "reader_link.h"

// Collects what the binding shows to the operator.
struct ShownMessages {
    std::vector<std::string> texts;
    MessageSink Sink() {
        return [this](std::string_view text) { texts.emplace_back(text); };
    }
};

inline void ExpectNoEntryPoints(const CPortLibrary& library) {
    EXPECT_FALSE(library.IsBound());
    EXPECT_EQ(library.m_pfnGetCOMDLLVersion, nullptr);
    EXPECT_EQ(library.m_pfnOpenComPort, nullptr);
    EXPECT_EQ(library.m_pfnCloseComPort, nullptr);
    EXPECT_EQ(library.m_pfnOpenLPTPort, nullptr);
    EXPECT_EQ(library.m_pfnCloseLPTPort, nullptr);
    EXPECT_EQ(library.m_pfnCommunicateRFResult, nullptr);
    EXPECT_EQ(library.m_pfnFreeComData, nullptr);
    EXPECT_EQ(library.m_pfnSetCommBaud, nullptr);
}

// Every call the program makes behaves as if no reader were attached.
inline void ExpectNothingAttached(const CPortLibrary& library) {
    std::uint8_t request[1] = {0xAA};
    std::uint8_t response[kFrameAreaSize] = {};
    std::int32_t count = -7;
    EXPECT_EQ(library.OpenComPort(1, 19200), 0);
    EXPECT_EQ(library.CloseComPort(), 1);
    EXPECT_EQ(library.CommunicateRFResult(request, 1, response, &count), 1);
    EXPECT_EQ(count, -7);
}

class ScopedTempDir {
public:
    ScopedTempDir() {
        std::random_device random;
        do {
            path_ = std::filesystem::temp_directory_path() /
                    ("pelorin-rdr-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~ScopedTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

#endif
