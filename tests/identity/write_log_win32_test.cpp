// The write log's failures as Windows reports them: the cause is the system's own text.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "log_file.h"
#include "write_log.h"
#include "write_log_test_support.h"

namespace {

TEST_F(WriteLogTest, FileHeldByAnotherWriterIsReported) {
    const std::string path = (m_dir / "20110305080409.csv").string();
    const HANDLE holder = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    CWriteLog log = Log();
    ExpectFailure(log.AppendWriteLog("528000000012345", "Y"), "其他程序");
    EXPECT_EQ(log.m_strLogFile, "20110305080409.csv");
    CloseHandle(holder);
    EXPECT_EQ(Read("20110305080409.csv"), "");

    // Once the other program lets go, the same run's file takes the line.
    ASSERT_EQ(log.AppendWriteLog("528000000012345", "Y").nError, 0);
    EXPECT_EQ(Read("20110305080409.csv"), kHeader + "528000000012345,20110305080409,Y \n");
}

TEST_F(WriteLogTest, MissingDirectoryIsReportedWithTheSystemsText) {
    CWriteLog log((m_dir / "gone").string(), [this] { return m_time; });
    const WriteLogResult result = log.AppendWriteLog("528000000012345", "Y");
    EXPECT_EQ(result.nError, ERROR_PATH_NOT_FOUND);
    const std::string cause = LogFileErrorText(ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(cause.empty());
    EXPECT_EQ(cause.find("error "), std::string::npos) << "the system knows this one";
    ExpectFailure(result, cause);
    EXPECT_EQ(log.m_strLogFile, "20110305080409.csv");
}

TEST_F(WriteLogTest, DirectoryInTheWayIsReported) {
    fs::create_directory(m_dir / "20110305080409.csv");
    CWriteLog log = Log();
    const WriteLogResult result = log.AppendWriteLog("528000000012345", "Y");
    EXPECT_EQ(result.nError, ERROR_ACCESS_DENIED);
    ExpectFailure(result, LogFileErrorText(ERROR_ACCESS_DENIED));
}

}  // namespace
