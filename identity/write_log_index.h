// Every identity the write logs of a directory hold, so that the window can refuse to give an
// animal's identity to a second tag.
#ifndef PELORIN_WRITE_LOG_INDEX_H
#define PELORIN_WRITE_LOG_INDEX_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

// Where and when an identity was logged.
struct WriteLogEntry {
    std::string strFile;       // the log's file name, without a directory
    std::string strTimeStamp;  // "20yymmddhhmmss", as in the log line
};

struct WriteLogIndexCounts {
    std::size_t nIdentities = 0;        // distinct identities in the index
    std::size_t nFilesRead = 0;         // logs read to their end
    std::size_t nLinesSkipped = 0;      // malformed lines in those logs, and in logs cut short
    std::size_t nFilesSkipped = 0;      // named like a log but without its header line
    std::size_t nFilesUnreadable = 0;   // named like a log but could not be opened or read through
    bool bDirectoryUnreadable = false;  // the directory itself could not be listed (through)
};

// "yyyy-mm-dd hh:mm:ss" of a log time stamp "20yymmddhhmmss"; empty when `stamp` is not one.
std::string DisplayLogTime(std::string_view stamp);

// True for a write log's file name: 14 digits and ".csv".
bool IsWriteLogName(std::string_view name);

class CWriteLogIndex {
public:
    CWriteLogIndex();
    virtual ~CWriteLogIndex() = default;

    // Replaces the index with the write logs of `directory` (empty: the current directory).
    // Anything that cannot be read is left out and counted, and nothing on disk is changed.
    // False when a file or the directory could not be read; ReadError() then says what.
    [[nodiscard]] bool Load(const std::string& directory);

    // The earliest logged write of `identity`, the 15-character identity text of the log.
    std::optional<WriteLogEntry> Find(std::string_view identity) const;

    // A line just logged joins the index; an earlier write of the identity is kept. False, and
    // nothing added, when `stamp` is not a log time stamp.
    [[nodiscard]] bool Add(std::string_view identity, std::string_view file,
                           std::string_view stamp);

    const WriteLogIndexCounts& Counts() const { return m_counts; }
    // The first thing that could not be read and why (UTF-8); empty when all could be read.
    const std::string& ReadError() const { return m_strReadError; }

private:
    // Time stamp's last 12 digits as a number, above a file number: the smaller is the earlier.
    using Packed = std::uint64_t;
    struct Slot {
        std::uint64_t key;
        Packed value;
    };

    void Clear();
    std::size_t Home(std::uint64_t key) const;
    void Reserve(std::size_t identities);
    void Insert(std::uint64_t key, Packed value);
    void InsertText(std::string_view identity, Packed value);
    void NoteUnreadable(const std::string& what, const std::error_code& error);
    WriteLogEntry Entry(Packed value) const;

    // Identities of 15 digits, as numbers, in an open-addressing table.
    std::vector<Slot> m_slots;
    std::size_t m_nUsed = 0;
    unsigned m_nShift = 64;
    // Any other identity text the window let through.
    std::unordered_map<std::string, Packed> m_otherIdentities;
    std::vector<std::string> m_files;
    WriteLogIndexCounts m_counts;
    std::string m_strReadError;
};

#endif
