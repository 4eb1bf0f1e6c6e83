#include "write_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// While non-zero, fsync() of a directory fails with this errno instead of syncing: a file system
// that cannot sync directories, or one whose write-back failed.
int g_directorySyncError = 0;

extern "C" int fsync(int fd) {
    struct stat status {};
    if (g_directorySyncError != 0 && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        errno = g_directorySyncError;
        return -1;
    }
    return static_cast<int>(syscall(SYS_fsync, fd));
}

namespace {

namespace fs = std::filesystem;

const std::string kHeader = "\xBF\xA8\xBA\xC5,\xCA\xB1\xBC\xE4,\xBC\xD3\xC3\xDC \n";

TEST(LogTimeStamp, AlwaysStartsWith20) {
    EXPECT_EQ(LogTimeStamp({2011, 3, 5, 8, 4, 9}), "20110305080409");
    EXPECT_EQ(LogTimeStamp({2026, 12, 31, 23, 59, 59}), "20261231235959");
    EXPECT_EQ(LogTimeStamp({1999, 1, 2, 3, 4, 5}), "20990102030405");
    EXPECT_EQ(LogTimeStamp({2100, 1, 2, 3, 4, 5}), "20000102030405");
}

class WriteLogTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pelorin-log-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

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

TEST_F(WriteLogTest, FirstLineCreatesTheStampedFileAndLaterLinesAppend) {
    CWriteLog log = Log();
    EXPECT_EQ(log.m_strLogFile, "0.csv");

    WriteLogResult result = log.AppendWriteLog("528000000012345", "Y");
    ASSERT_EQ(result.nError, 0) << result.strMessage;
    EXPECT_TRUE(result.strMessage.empty());
    EXPECT_EQ(result.strTimeStamp, "20110305080409");
    EXPECT_EQ(log.m_strLogFile, "20110305080409.csv");
    EXPECT_EQ(Read("20110305080409.csv"), kHeader + "528000000012345,20110305080409,Y \n");

    // Even across midnight the run keeps its file.
    m_time = {2011, 3, 6, 0, 0, 1};
    result = log.AppendWriteLog("528000000012346", "N");
    ASSERT_EQ(result.nError, 0) << result.strMessage;
    EXPECT_EQ(result.strTimeStamp, "20110306000001");
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

TEST_F(WriteLogTest, HeldLockIsReported) {
    const std::string path = (m_dir / "20110305080409.csv").string();
    const int holder = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);

    CWriteLog log = Log();
    ExpectFailure(log.AppendWriteLog("528000000012345", "Y"), "其他程序");
    EXPECT_EQ(log.m_strLogFile, "20110305080409.csv");
    EXPECT_EQ(Read("20110305080409.csv"), "");
    close(holder);

    // Once the other program lets go, the same run's file takes the line.
    ASSERT_EQ(log.AppendWriteLog("528000000012345", "Y").nError, 0);
    EXPECT_EQ(Read("20110305080409.csv"), kHeader + "528000000012345,20110305080409,Y \n");
}

TEST_F(WriteLogTest, MissingDirectoryIsReported) {
    CWriteLog log((m_dir / "gone").string(), [this] { return m_time; });
    ExpectFailure(log.AppendWriteLog("528000000012345", "Y"), std::strerror(ENOENT));
    EXPECT_EQ(log.m_strLogFile, "20110305080409.csv");
}

TEST_F(WriteLogTest, DirectoryInTheWayIsReported) {
    fs::create_directory(m_dir / "20110305080409.csv");
    CWriteLog log = Log();
    ExpectFailure(log.AppendWriteLog("528000000012345", "Y"), std::strerror(EISDIR));
}

TEST_F(WriteLogTest, ReadOnlyDirectoryIsReported) {
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                               fs::perms::others_exec);
    // Permissions do not bind root, so the attempt runs in a child that gives root up.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setuid(65534) != 0) {
                std::_Exit(2);
            }
            CWriteLog log = Log();
            const WriteLogResult result = log.AppendWriteLog("528000000012345", "Y");
            std::fputs(result.strMessage.c_str(), stderr);
            std::_Exit(result.nError == EACCES ? 0 : 1);
        },
        testing::ExitedWithCode(0), std::string("20110305080409.csv.*") + std::strerror(EACCES));
    fs::permissions(m_dir, fs::perms::owner_all);
}

TEST_F(WriteLogTest, FullDiskIsReported) {
    fs::create_symlink("/dev/full", m_dir / "20110305080409.csv");
    CWriteLog log = Log();
    ExpectFailure(log.AppendWriteLog("528000000012345", "Y"), std::strerror(ENOSPC));
}

// A file-size limit stops the write part-way, as a disk that fills up during the line would.
TEST_F(WriteLogTest, LineCutShortIsTakenBackOut) {
    const std::string before = kHeader + "528000000012345,20110305080409,Y \n";
    Write("20110305080409.csv", before);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = before.size() + 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    CWriteLog log = Log();
    const WriteLogResult result = log.AppendWriteLog("528000000012346", "Y");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    ExpectFailure(result, std::strerror(EFBIG));
    EXPECT_EQ(Read("20110305080409.csv"), before);
}

// Only the first line of a file syncs the directory; how the file system answers decides whether
// the line may be lost.
TEST_F(WriteLogTest, DirectorySyncFailsOnlyWhenTheLineMayBeLost) {
    struct Case {
        int error;
        bool lineMayBeLost;
    };
    const Case cases[] = {
        {EINVAL, false}, {EROFS, false}, {ENOTSUP, false}, {EIO, true}, {ENOSPC, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::strerror(c.error));
        fs::remove(m_dir / "20110305080409.csv");
        CWriteLog log = Log();
        g_directorySyncError = c.error;
        const WriteLogResult first = log.AppendWriteLog("528000000012345", "Y");
        const WriteLogResult second = log.AppendWriteLog("528000000012346", "Y");
        g_directorySyncError = 0;

        if (c.lineMayBeLost) {
            ExpectFailure(first, std::strerror(c.error));
        } else {
            EXPECT_EQ(first.nError, 0) << first.strMessage;
        }
        EXPECT_EQ(second.nError, 0) << "no directory sync after the first line";
        EXPECT_EQ(Read("20110305080409.csv"), kHeader +
                                                  "528000000012345,20110305080409,Y \n"
                                                  "528000000012346,20110305080409,Y \n");
    }
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
