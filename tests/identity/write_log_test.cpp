#include "write_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "write_log_test_support.h"

namespace {

TEST(LogTimeStamp, AlwaysStartsWith20) {
    EXPECT_EQ(LogTimeStamp({2011, 3, 5, 8, 4, 9}), "20110305080409");
    EXPECT_EQ(LogTimeStamp({2026, 12, 31, 23, 59, 59}), "20261231235959");
    EXPECT_EQ(LogTimeStamp({1999, 1, 2, 3, 4, 5}), "20990102030405");
    EXPECT_EQ(LogTimeStamp({2100, 1, 2, 3, 4, 5}), "20000102030405");
}

TEST_F(WriteLogTest, FirstLineCreatesTheStampedFileAndLaterLinesAppend) {
    CWriteLog log = Log();
    EXPECT_EQ(log.m_strLogFile, "0.csv");

    WriteLogResult result = log.AppendWriteLog("528000000012345", "Y");
    ASSERT_EQ(result.nError, 0) << result.strMessage;
    EXPECT_TRUE(result.strMessage.empty());
    EXPECT_EQ(log.m_strLogFile, "20110305080409.csv");
    EXPECT_EQ(Read("20110305080409.csv"), kHeader + "528000000012345,20110305080409,Y \n");

    // Even across midnight the run keeps its file.
    m_time = {2011, 3, 6, 0, 0, 1};
    result = log.AppendWriteLog("528000000012346", "N");
    ASSERT_EQ(result.nError, 0) << result.strMessage;
    EXPECT_EQ(log.m_strLogFile, "20110305080409.csv");
    EXPECT_EQ(Read("20110305080409.csv"), kHeader +
                                              "528000000012345,20110305080409,Y \n"
                                              "528000000012346,20110306000001,N \n");
    EXPECT_FALSE(fs::exists(m_dir / "0.csv"));
}

TEST_F(WriteLogTest, ExistingEmptyFileGetsTheHeader) {
    Write("20110305080409.csv", "");
    CWriteLog log = Log();
    ASSERT_EQ(log.AppendWriteLog("528000000012345", "N").nError, 0);
    EXPECT_EQ(Read("20110305080409.csv"), kHeader + "528000000012345,20110305080409,N \n");
}

TEST_F(WriteLogTest, ExistingFileGetsOnlyTheLineAfterItsLastByte) {
    Write("20110305080409.csv", "anything");
    CWriteLog log = Log();
    ASSERT_EQ(log.AppendWriteLog("528000000012345", "N").nError, 0);
    EXPECT_EQ(Read("20110305080409.csv"), "anything528000000012345,20110305080409,N \n");
}

TEST_F(WriteLogTest, DefaultWritesToTheCurrentDirectory) {
    const fs::path saved = fs::current_path();
    fs::current_path(m_dir);
    CWriteLog log;
    const WriteLogResult result = log.AppendWriteLog("528000000012345", "N");
    fs::current_path(saved);

    ASSERT_EQ(result.nError, 0) << result.strMessage;
    ASSERT_EQ(log.m_strLogFile.size(), 18u);
    EXPECT_EQ(log.m_strLogFile.substr(0, 2), "20");
    const std::string content = Read(log.m_strLogFile);
    EXPECT_EQ(content, kHeader + "528000000012345," + log.m_strLogFile.substr(0, 14) + ",N \n");
}

}  // namespace
