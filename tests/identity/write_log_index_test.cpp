#include "write_log_index.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "write_log.h"
#include "write_log_test_support.h"

namespace {

std::string Line(const std::string& identity, const std::string& stamp, const char* flag = "Y") {
    return identity + "," + stamp + "," + flag + " \n";
}

void ExpectEntry(const std::optional<WriteLogEntry>& entry, const std::string& file,
                 const std::string& stamp) {
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->strFile, file);
    EXPECT_EQ(entry->strTimeStamp, stamp);
}

TEST(WriteLogNames, DisplayTimeAndLogNames) {
    EXPECT_EQ(DisplayLogTime("20261210093015"), "2026-12-10 09:30:15");
    EXPECT_EQ(DisplayLogTime("20991231235959"), "2099-12-31 23:59:59");
    for (const char* bad : {"", "2026121009301", "202612100930150", "19261210093015",
                            "20261310093015", "20261200093015", "20261210243015", "20261210096015",
                            "20261210093060", "2026121009301x"}) {
        EXPECT_EQ(DisplayLogTime(bad), "") << bad;
    }

    EXPECT_TRUE(IsWriteLogName("20261210093015.csv"));
    for (const char* other : {"0.csv", "2026121009301.csv", "202612100930150.csv",
                              "20261210093015.CSV", "20261210093015.csv~", "2026121009301a.csv"}) {
        EXPECT_FALSE(IsWriteLogName(other)) << other;
    }
}

class WriteLogIndexTest : public WriteLogTest {
protected:
    void WriteLog(const std::string& name, const std::string& lines) const {
        Write(name, std::string(WriteLogHeader()) + lines);
    }
    CWriteLogIndex Loaded(bool expectAllRead = true) const {
        CWriteLogIndex index;
        EXPECT_EQ(index.Load(m_dir.string()), expectAllRead) << index.ReadError();
        return index;
    }
};

TEST_F(WriteLogIndexTest, FindsEveryLoggedIdentity) {
    WriteLog("20260101080000.csv", Line("528000000012345", "20260101080000") +
                                       Line("528000000012346", "20260101080105", "N"));
    WriteLog("20260102090000.csv", Line("000000000000000", "20260102090000"));

    const CWriteLogIndex index = Loaded();
    ExpectEntry(index.Find("528000000012345"), "20260101080000.csv", "20260101080000");
    ExpectEntry(index.Find("528000000012346"), "20260101080000.csv", "20260101080105");
    ExpectEntry(index.Find("000000000000000"), "20260102090000.csv", "20260102090000");
    EXPECT_FALSE(index.Find("528000000012347").has_value());
    EXPECT_FALSE(index.Find("52800000001234").has_value());
    EXPECT_FALSE(index.Find("").has_value());

    const WriteLogIndexCounts& counts = index.Counts();
    EXPECT_EQ(counts.nIdentities, 3u);
    EXPECT_EQ(counts.nFilesRead, 2u);
    EXPECT_EQ(counts.nLinesSkipped, 0u);
    EXPECT_EQ(counts.nFilesSkipped, 0u);
    EXPECT_EQ(counts.nFilesUnreadable, 0u);
    EXPECT_FALSE(counts.bDirectoryUnreadable);
    EXPECT_EQ(index.ReadError(), "");
}

// The earliest write names the animal that carries the identity, whichever file holds it.
TEST_F(WriteLogIndexTest, DuplicatesReportTheEarliestWrite) {
    WriteLog("20260101080000.csv", Line("528000000000001", "20260101080000") +
                                       Line("528000000000002", "20260101080001") +
                                       Line("528000000000001", "20260101080002"));
    // A clock set back: the later file holds the earlier time.
    WriteLog("20260105080000.csv",
             Line("528000000000002", "20251231235959") + Line("528000000000001", "20260105080000"));
    // Same second in two files: the file named first.
    WriteLog("20260106080000.csv", Line("528000000000003", "20260106080000"));
    WriteLog("20260106080001.csv", Line("528000000000003", "20260106080000"));

    const CWriteLogIndex index = Loaded();
    ExpectEntry(index.Find("528000000000001"), "20260101080000.csv", "20260101080000");
    ExpectEntry(index.Find("528000000000002"), "20260105080000.csv", "20251231235959");
    ExpectEntry(index.Find("528000000000003"), "20260106080000.csv", "20260106080000");
    EXPECT_EQ(index.Counts().nIdentities, 3u);
    EXPECT_EQ(index.Counts().nFilesRead, 4u);
}

TEST_F(WriteLogIndexTest, SkipsMalformedLinesAndFilesWithoutChangingThem) {
    const std::string good = Line("528000000000001", "20260101080000");
    // The window logs whatever bytes were typed: letters, GBK text, even a comma.
    const std::string letters = Line("52800000000ABCD", "20260101080001");
    const std::string gbk = Line(
        "528\xD6\xD0\xCE\xC4"
        "00000001",
        "20260101080002");
    const std::string comma = Line("528,0000000001X", "20260101080003");
    const std::string malformed[] = {
        "528000000000002,20260101080000,Y\n",     // no space
        "528000000000015,20260101080000,Y.\n",    // other character for the space
        "528000000000003,20260101080000,Y \r\n",  // carriage return
        "52800000000004,20260101080000,Y \n",     // 14-character identity
        "5280000000000050,20260101080000,Y \n",   // 16-character identity
        "528000000000006,2026010108000,Y \n",     // short time stamp
        "528000000000007,19260101080000,Y \n",    // century not 20
        "528000000000008,20261301080000,Y \n",    // month 13
        "528000000000009,20260101250000,Y \n",    // hour 25
        "528000000000010,2026010108000x,Y \n",    // letter in the time
        "528000000000011,20260101080000,X \n",    // unknown flag
        "528000000000012;20260101080000;Y \n",    // other separator
        "528000000\t00013,20260101080000,Y \n",   // control character in the identity
        "\n",
    };
    std::string lines = good + letters + gbk + comma;
    for (const std::string& line : malformed) {
        lines += line;
    }
    lines += "528000000000014,20260101080000,Y ";  // cut off before its line end
    WriteLog("20260101080000.csv", lines);
    Write("20260102080000.csv", Line("528000000000020", "20260102080000"));    // no header
    Write("20260103080000.csv", "");                                           // no header either
    WriteLog("2026010408000.csv", Line("528000000000021", "20260104080000"));  // not a log name
    WriteLog("0.csv", Line("528000000000022", "20260104080000"));
    fs::create_directory(m_dir / "20260105080000.csv");

    const CWriteLogIndex index = Loaded();
    ExpectEntry(index.Find("528000000000001"), "20260101080000.csv", "20260101080000");
    ExpectEntry(index.Find("52800000000ABCD"), "20260101080000.csv", "20260101080001");
    ExpectEntry(index.Find("528\xD6\xD0\xCE\xC4"
                           "00000001"),
                "20260101080000.csv", "20260101080002");
    ExpectEntry(index.Find("528,0000000001X"), "20260101080000.csv", "20260101080003");
    for (int n = 2; n <= 22; ++n) {
        char identity[16];
        std::snprintf(identity, sizeof identity, "5280000000000%02d", n);
        EXPECT_FALSE(index.Find(identity).has_value()) << identity;
    }
    const WriteLogIndexCounts& counts = index.Counts();
    EXPECT_EQ(counts.nIdentities, 4u);
    EXPECT_EQ(counts.nFilesRead, 1u);
    EXPECT_EQ(counts.nLinesSkipped, std::size(malformed) + 1);
    EXPECT_EQ(counts.nFilesSkipped, 2u);
    EXPECT_EQ(counts.nFilesUnreadable, 0u);

    EXPECT_EQ(Read("20260101080000.csv"), std::string(WriteLogHeader()) + lines);
    EXPECT_EQ(Read("20260102080000.csv"), Line("528000000000020", "20260102080000"));
}

// Lines are found across the reader's block boundaries, and a line too long for a block is one
// skipped line.
TEST_F(WriteLogIndexTest, ReadsAcrossBlocks) {
    std::string lines = Line("528000000000001", "20260101080000");
    lines += std::string(3 << 20, 'x') + "\n";
    lines += Line("528000000000002", "20260101080000");
    for (int n = 0; n < 40000; ++n) {
        char identity[16];
        std::snprintf(identity, sizeof identity, "999%012d", n);
        lines += Line(identity, "20260101080000");
    }
    WriteLog("20260101080000.csv", lines);

    const CWriteLogIndex index = Loaded();
    EXPECT_EQ(index.Counts().nLinesSkipped, 1u);
    EXPECT_EQ(index.Counts().nIdentities, 40002u);
    EXPECT_TRUE(index.Find("528000000000001").has_value());
    EXPECT_TRUE(index.Find("528000000000002").has_value());
    EXPECT_TRUE(index.Find("999000000000000").has_value());
    EXPECT_TRUE(index.Find("999000000039999").has_value());
    EXPECT_FALSE(index.Find("999000000040000").has_value());
}

TEST_F(WriteLogIndexTest, EmptyAndMissingDirectories) {
    CWriteLogIndex index = Loaded();
    EXPECT_EQ(index.Counts().nIdentities, 0u);
    EXPECT_EQ(index.Counts().nFilesRead, 0u);
    EXPECT_FALSE(index.Find("528000000000001").has_value());

    EXPECT_FALSE(index.Load((m_dir / "gone").string()));
    EXPECT_TRUE(index.Counts().bDirectoryUnreadable);
    EXPECT_NE(index.ReadError().find("gone"), std::string::npos) << index.ReadError();
}

TEST_F(WriteLogIndexTest, DefaultIsTheCurrentDirectory) {
    WriteLog("20260101080000.csv", Line("528000000000001", "20260101080000"));
    const fs::path saved = fs::current_path();
    fs::current_path(m_dir);
    CWriteLogIndex index;
    const bool loaded = index.Load("");
    fs::current_path(saved);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(index.Find("528000000000001").has_value());
}

TEST_F(WriteLogIndexTest, LoadReplacesWhatWasThere) {
    CWriteLogIndex index;
    ASSERT_TRUE(index.Add("528000000000009", "20260109080000.csv", "20260109080000"));
    WriteLog("20260101080000.csv", Line("528000000000001", "20260101080000"));
    ASSERT_TRUE(index.Load(m_dir.string()));
    EXPECT_FALSE(index.Find("528000000000009").has_value());
    EXPECT_TRUE(index.Find("528000000000001").has_value());
    EXPECT_EQ(index.Counts().nIdentities, 1u);
}

// Permissions do not bind root, so the reading runs in a child that gives root up.
TEST_F(WriteLogIndexTest, UnreadableDirectoryAndFilesLeaveTheRestReadable) {
    const auto open = fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(m_dir, open);
    fs::create_directory(m_dir / "logs");
    WriteLog("logs/20260101080000.csv", Line("528000000000001", "20260101080000"));
    WriteLog("logs/20260102080000.csv", Line("528000000000002", "20260102080000"));
    fs::permissions(m_dir / "logs", open);
    fs::permissions(m_dir / "logs/20260101080000.csv", fs::perms::owner_read);
    fs::permissions(m_dir / "logs/20260102080000.csv",
                    fs::perms::owner_read | fs::perms::others_read);
    fs::create_directory(m_dir / "closed");
    fs::permissions(m_dir / "closed", fs::perms::owner_all);

    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                std::_Exit(2);
            }
            CWriteLogIndex index;
            const bool filesRead = index.Load((m_dir / "logs").string());
            const WriteLogIndexCounts files = index.Counts();
            std::fprintf(stderr, "%s\n", index.ReadError().c_str());
            const bool expectedFiles = !filesRead && files.nFilesRead == 1 &&
                                       files.nFilesUnreadable == 1 && !files.bDirectoryUnreadable &&
                                       index.Find("528000000000002") &&
                                       !index.Find("528000000000001");

            const bool dirRead = index.Load((m_dir / "closed").string());
            std::fprintf(stderr, "%s\n", index.ReadError().c_str());
            const bool expectedDir =
                !dirRead && index.Counts().bDirectoryUnreadable && index.Counts().nIdentities == 0;
            std::_Exit(expectedFiles && expectedDir ? 0 : 1);
        },
        testing::ExitedWithCode(0), "20260101080000\\.csv.*\n.*closed");
}

TEST_F(WriteLogIndexTest, AddedLinesAreFound) {
    WriteLog("20260101080000.csv", Line("528000000000001", "20260101080000"));
    CWriteLogIndex index = Loaded();

    ASSERT_TRUE(index.Add("528000000000002", "20260301100000.csv", "20260301100000"));
    ASSERT_TRUE(index.Add("528000000000003", "20260301100000.csv", "20260301100005"));
    ExpectEntry(index.Find("528000000000002"), "20260301100000.csv", "20260301100000");
    ExpectEntry(index.Find("528000000000003"), "20260301100000.csv", "20260301100005");

    // Written again: the first write stays the one reported.
    ASSERT_TRUE(index.Add("528000000000001", "20260301100000.csv", "20260301100010"));
    ExpectEntry(index.Find("528000000000001"), "20260101080000.csv", "20260101080000");

    ASSERT_TRUE(
        index.Add("ABC\xD6\xD0"
                  "0000000001",
                  "20260301100000.csv", "20260301100020"));
    ExpectEntry(index.Find("ABC\xD6\xD0"
                           "0000000001"),
                "20260301100000.csv", "20260301100020");
    EXPECT_FALSE(index
                     .Find("ABC\xD6\xD0"
                           "0000000002")
                     .has_value());

    EXPECT_FALSE(index.Add("528000000000004", "20260301100000.csv", "2026030110002"));
    EXPECT_FALSE(index.Find("528000000000004").has_value());
    EXPECT_EQ(index.Counts().nIdentities, 4u);
    EXPECT_EQ(index.Counts().nFilesRead, 1u);
}

// What the write log writes, the index reads; a line of this run joins as the window adds it.
TEST_F(WriteLogIndexTest, ReadsWhatTheWriteLogWrites) {
    LogTime time{2026, 3, 1, 10, 0, 0};
    CWriteLog earlier(m_dir.string(), [&time] { return time; });
    ASSERT_EQ(earlier.AppendWriteLog("528000000000001", "Y").nError, 0);
    time.nSecond = 7;
    ASSERT_EQ(earlier.AppendWriteLog("52800000000000X", "N").nError, 0);

    CWriteLogIndex index = Loaded();
    ExpectEntry(index.Find("528000000000001"), "20260301100000.csv", "20260301100000");
    ExpectEntry(index.Find("52800000000000X"), "20260301100000.csv", "20260301100007");

    time = {2026, 3, 2, 9, 15, 30};
    CWriteLog current(m_dir.string(), [&time] { return time; });
    const WriteLogResult result = current.AppendWriteLog("528000000000002", "Y");
    ASSERT_EQ(result.nError, 0);
    ASSERT_TRUE(index.Add("528000000000002", current.m_strLogFile, result.strTimeStamp));
    const std::optional<WriteLogEntry> entry = index.Find("528000000000002");
    ExpectEntry(entry, "20260302091530.csv", "20260302091530");
    EXPECT_EQ(DisplayLogTime(entry->strTimeStamp), "2026-03-02 09:15:30");
}

// Thousands of additions outgrow the first table; all stay findable.
TEST(WriteLogIndex, GrowsAsLinesAreAdded) {
    CWriteLogIndex index;
    for (int n = 0; n < 20000; ++n) {
        char identity[16];
        std::snprintf(identity, sizeof identity, "528%012d", n * 7);
        ASSERT_TRUE(index.Add(identity, "20260301100000.csv", "20260301100000"));
    }
    EXPECT_EQ(index.Counts().nIdentities, 20000u);
    for (int n = 0; n < 20000 * 7; ++n) {
        char identity[16];
        std::snprintf(identity, sizeof identity, "528%012d", n);
        ASSERT_EQ(index.Find(identity).has_value(), n % 7 == 0) << identity;
    }
}

}  // namespace
