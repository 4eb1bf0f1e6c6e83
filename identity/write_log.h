// The write log: one comma-separated line per identity written to a tag, one file per run.
#ifndef PELORIN_WRITE_LOG_H
#define PELORIN_WRITE_LOG_H

#include <functional>
#include <string>
#include <string_view>

// Local date and time of a logged write; the year in full.
struct LogTime {
    int nYear;
    int nMonth;
    int nDay;
    int nHour;
    int nMinute;
    int nSecond;
};

// "卡号,时间,加密 \n" in GBK: the first line of every log file.
std::string_view WriteLogHeader();

// The process's local time now.
LogTime LocalLogTime();

// "20", then two digits each of year within the century, month, day, hour, minute, second.
std::string LogTimeStamp(const LogTime& time);

struct WriteLogResult {
    // 0 when the line is on disk, otherwise the system's error code of the step that failed.
    int nError;
    // For the operator (UTF-8): the file and the cause. Empty on success.
    std::string strMessage;
    // The line's time stamp, "20yymmddhhmmss".
    std::string strTimeStamp;
};

class CWriteLog {
public:
    using Clock = std::function<LogTime()>;

    // Files go to the process's current directory, stamped with local time.
    CWriteLog();
    // Files go to `strDirectory` (empty: the current directory), stamped by `clock`.
    CWriteLog(std::string strDirectory, Clock clock);
    virtual ~CWriteLog() = default;

    // Appends "<identity>,<time stamp>,<flag> \n", after the header when the file is empty. The
    // line is on disk when the call returns success; on failure the file is as it was, or the
    // message says that it may end in a partial line.
    [[nodiscard]] WriteLogResult AppendWriteLog(std::string_view identity, std::string_view flag);

    // Where the files go; empty for the current directory.
    const std::string& Directory() const { return m_strDirectory; }

    // "0.csv" until the first line of the run names the file after its moment.
    std::string m_strLogFile;

private:
    std::string m_strDirectory;
    Clock m_clock;
};

#endif
