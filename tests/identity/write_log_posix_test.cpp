// The write log's failures as Linux reports them.
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
#include <string>

#include "write_log.h"
#include "write_log_test_support.h"

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

}  // namespace
