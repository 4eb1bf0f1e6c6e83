// A fresh directory per test for the write log, and a clock the test sets.
#ifndef PELORIN_WRITE_LOG_TEST_SUPPORT_H
#define PELORIN_WRITE_LOG_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "write_log.h"

namespace fs = std::filesystem;

inline const std::string kHeader = "\xBF\xA8\xBA\xC5,\xCA\xB1\xBC\xE4,\xBC\xD3\xC3\xDC \n";

class WriteLogTest : public testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        do {
            m_dir = fs::temp_directory_path() / ("pelorin-log-" + std::to_string(random()));
        } while (!fs::create_directory(m_dir));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(m_dir, fs::perms::owner_all, ignored);
        fs::remove_all(m_dir, ignored);
    }

    CWriteLog Log() {
        return CWriteLog(m_dir.string(), [this] { return m_time; });
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(m_dir / name, std::ios::binary) << content;
    }
    // The failure names the file and says why.
    static void ExpectFailure(const WriteLogResult& result, const std::string& cause) {
        EXPECT_NE(result.nError, 0);
        EXPECT_NE(result.strMessage.find("20110305080409.csv"), std::string::npos)
            << result.strMessage;
        EXPECT_NE(result.strMessage.find(cause), std::string::npos) << result.strMessage;
    }

    fs::path m_dir;
    LogTime m_time{2011, 3, 5, 8, 4, 9};
};

#endif
