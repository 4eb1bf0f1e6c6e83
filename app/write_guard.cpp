// The guard against writing an identity twice: the write logs' index asked before a write, the
// read-back after it, and the window-menu items that switch the one and report on both.
#include <filesystem>
#include <initializer_list>

#include "identity.h"
#include "pelorin_dlg.h"

namespace {

constexpr std::uint16_t kReaderAddress = 0;
// WriteTag's result when the tag answered the write but holds something else.
constexpr int kReadBackDiffers = 1;

constexpr char kSettingNotSaved[] = "写后校验的设置未能保存，下次启动时仍按原来的设置。";

// %1, %2, ... of `format` replaced by the arguments in order.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string text;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const std::size_t argument = i + 1 < format.size() && format[i] == '%'
                                         ? static_cast<std::size_t>(format[i + 1] - '1')
                                         : args.size();
        if (argument < args.size()) {
            text.append(args.begin()[argument]);
            ++i;
        } else {
            text.push_back(format[i]);
        }
    }
    return text;
}

// The log holds the identity as GBK bytes: anything but printable ASCII shows as '?'.
std::string DisplayIdentity(std::string_view identity) {
    std::string text(identity);
    for (char& c : text) {
        if (c < 0x20 || c > 0x7E) {
            c = '?';
        }
    }
    return text;
}

std::string DisplayDirectory(const std::string& directory) {
    std::error_code error;
    const std::filesystem::path path = directory.empty()
                                           ? std::filesystem::current_path(error)
                                           : std::filesystem::absolute(directory, error);
    const std::u8string text = (error ? std::filesystem::path(directory) : path).u8string();
    return {text.begin(), text.end()};
}

}  // namespace

std::string CPelorinDlg::DuplicateText(std::string_view strIdentity,
                                       std::string_view format) const {
    const std::optional<WriteLogEntry> entry = m_writeLogIndex.Find(strIdentity);
    if (!entry) {
        return {};
    }
    return FormatText(format, {DisplayIdentity(strIdentity), DisplayLogTime(entry->strTimeStamp),
                               entry->strFile});
}

bool CPelorinDlg::ConfirmNewIdentity(std::string_view strIdentity) {
    const std::string strQuestion = DuplicateText(strIdentity, kDuplicateQuestion);
    return strQuestion.empty() || m_window.AskYesNo(strQuestion);
}

int CPelorinDlg::WriteTag(const TagRecord& record) {
    const int nResult = m_readerLink.WriteTag(kReaderAddress, record);
    if (nResult != 0 || !m_bVerifyWrite) {
        return nResult;
    }
    // A reader may answer a write as done although the tag kept its old identity.
    std::uint8_t abBuffer[kReadBufferSize] = {};
    const int nRead = m_readerLink.ReadTag(kReaderAddress, abBuffer);
    if (nRead != 0) {
        return nRead;
    }
    RememberedRecord written{};
    RememberRecord(record, written);
    return SameIdentity(abBuffer, written) ? 0 : kReadBackDiffers;
}

void CPelorinDlg::OnVerifyWrite() {
    m_bVerifyWrite = !m_bVerifyWrite;
    m_window.CheckMenuItem(IDM_VERIFY_WRITE, m_bVerifyWrite);
    if (!m_window.WriteProfileInt(kSettingsSection, kVerifyWriteEntry, m_bVerifyWrite ? 1 : 0)) {
        m_window.ShowMessage(kSettingNotSaved);
    }
}

void CPelorinDlg::OnWriteRecord() {
    const WriteLogIndexCounts& counts = m_writeLogIndex.Counts();
    std::string text = "记录目录：" + DisplayDirectory(m_writeLog.Directory()) + "\n";
    if (m_nLogLines == 0 && !IsWriteLogName(m_writeLog.m_strLogFile)) {
        text += "本次写卡记录：还没有写入\n";
    } else {
        text += FormatText("本次写卡记录：%1，%2 行\n",
                           {m_writeLog.m_strLogFile, std::to_string(m_nLogLines)});
    }
    text += FormatText("查重：%1 个卡号，来自启动时读取的 %2 个记录文件；跳过格式不对的 %3 行",
                       {std::to_string(counts.nIdentities), std::to_string(counts.nFilesRead),
                        std::to_string(counts.nLinesSkipped)});
    if (counts.nFilesSkipped != 0) {
        text += FormatText("、没有表头的 %1 个文件", {std::to_string(counts.nFilesSkipped)});
    }
    text += "\n";
    if (m_bIndexIncomplete) {
        text += counts.bDirectoryUnreadable
                    ? std::string("记录目录未能读全，查重只含读到的记录")
                    : FormatText("%1 个记录文件未能读取，查重不含其中的记录",
                                 {std::to_string(counts.nFilesUnreadable)});
        text += "（" + m_writeLogIndex.ReadError() + "）\n";
    }
    if (m_nUnindexedLines != 0) {
        text += FormatText("本次有 %1 个卡号未能加入查重\n", {std::to_string(m_nUnindexedLines)});
    }
    text += m_bVerifyWrite ? "写后校验：开" : "写后校验：关";
    m_window.ShowMessage(text);
}
