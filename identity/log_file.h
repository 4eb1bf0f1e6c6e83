// Platform side of the write log.
#ifndef PELORIN_LOG_FILE_H
#define PELORIN_LOG_FILE_H

#include <string>
#include <string_view>

struct LogFileResult {
    // 0 on success, otherwise the system's error code of the failed step (errno, or Windows'
    // GetLastError); kLogFileLocked when another program holds the file.
    int nError;
    // A failed write left bytes that could not be cut off again.
    bool bPartialLineLeft;
};

inline constexpr int kLogFileLocked = -1;

// The system's description of an error code of LogFileResult, in UTF-8.
std::string LogFileErrorText(int error);

// Opens `path` for appending under an exclusive lock, writes `header` first when the file is
// empty, then `line`, flushes both to disk (with the directory entry of a new file) and closes.
LogFileResult AppendToLogFile(const std::string& directory, const std::string& path,
                              std::string_view header, std::string_view line);

#endif
