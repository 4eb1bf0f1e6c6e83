#include "write_log.h"

#include <array>
#include <utility>

#include "log_file.h"

namespace {

// "卡号,时间,加密 \n" in GBK, spelled as bytes so that the source encoding cannot change it.
constexpr std::array<unsigned char, 16> kHeaderBytes = {
    0xBF, 0xA8, 0xBA, 0xC5, 0x2C, 0xCA, 0xB1, 0xBC, 0xE4, 0x2C, 0xBC, 0xD3, 0xC3, 0xDC, 0x20, 0x0A};

constexpr std::string_view kStartName = "0.csv";
// Shorter than any time-stamped name: the name is chosen once per run.
constexpr std::size_t kNamedLength = 8;

void AppendTwoDigits(std::string& text, int value) {
    text.push_back(static_cast<char>('0' + value / 10 % 10));
    text.push_back(static_cast<char>('0' + value % 10));
}

std::string FailureMessage(const std::string& path, const LogFileResult& result) {
    std::string message = "无法写入日志文件 " + path + "：";
    message +=
        result.nError == kLogFileLocked ? "文件正被其他程序占用" : LogFileErrorText(result.nError);
    if (result.bPartialLineLeft) {
        message += "（文件末尾可能留有不完整的一行）";
    }
    return message;
}

}  // namespace

std::string_view WriteLogHeader() {
    return {reinterpret_cast<const char*>(kHeaderBytes.data()), kHeaderBytes.size()};
}

std::string LogTimeStamp(const LogTime& time) {
    std::string stamp = "20";
    // The remainder of a year before 0 would be negative.
    AppendTwoDigits(stamp, (time.nYear % 100 + 100) % 100);
    for (const int value : {time.nMonth, time.nDay, time.nHour, time.nMinute, time.nSecond}) {
        AppendTwoDigits(stamp, value);
    }
    return stamp;
}

CWriteLog::CWriteLog() : CWriteLog(std::string(), LocalLogTime) {}

CWriteLog::CWriteLog(std::string strDirectory, Clock clock)
    : m_strLogFile(kStartName),
      m_strDirectory(std::move(strDirectory)),
      m_clock(std::move(clock)) {}

WriteLogResult CWriteLog::AppendWriteLog(std::string_view identity, std::string_view flag) {
    const std::string stamp = LogTimeStamp(m_clock());
    if (m_strLogFile.size() < kNamedLength) {
        m_strLogFile = stamp + ".csv";
    }
    std::string line;
    line.append(identity).append(",").append(stamp).append(",").append(flag).append(" \n");

    const std::string path =
        m_strDirectory.empty() ? m_strLogFile : m_strDirectory + "/" + m_strLogFile;
    const LogFileResult result = AppendToLogFile(m_strDirectory, path, WriteLogHeader(), line);
    if (result.nError != 0) {
        return {result.nError, FailureMessage(path, result), stamp};
    }
    return {0, {}, stamp};
}
