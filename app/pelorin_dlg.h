// The main window's members and handlers: port controls, the two identity groups and the
// continuous modes. It reaches the window toolkit only through CWindowServices.
#ifndef PELORIN_PELORIN_DLG_H
#define PELORIN_PELORIN_DLG_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "identity.h"
#include "reader_link.h"
#include "resource.h"
#include "window_services.h"
#include "write_log.h"
#include "write_log_index.h"

class CDataExchange;

// Program-wide mode flags of continuous writing and continuous scrambling.
extern std::uint8_t g_bContWrite;
extern std::uint8_t g_bContDes;

// The refusal of FDX-B Write and of continuous writing when the tag on the reader is the one
// just written.
inline constexpr char kAlreadyWrittenMessage[] = "此卡刚刚已写入过，请换一张卡！";
// The refusal of DES when the tag on the reader is the one just scrambled.
inline constexpr char kAlreadyScrambledMessage[] = "此卡已加密，请换一张卡！";

// An identity that a write log already holds: %1 the identity, %2 when ("yyyy-mm-dd hh:mm:ss"),
// %3 the log's file name. Write and FDX-B Write ask; continuous writing stops.
inline constexpr char kDuplicateQuestion[] = "卡号 %1 已于 %2 写入过（%3），仍要写入吗？";
inline constexpr char kDuplicateStopMessage[] = "卡号 %1 已于 %2 写入过（%3），连续写卡已停止！";

// The window-menu items of the write guard.
inline constexpr char kVerifyWriteMenuText[] = "写后校验(&V)";
inline constexpr char kWriteRecordMenuText[] = "写卡记录(&R)...";
// Where verify-after-write is kept between runs.
inline constexpr char kSettingsSection[] = "Settings";
inline constexpr char kVerifyWriteEntry[] = "VerifyAfterWrite";

inline constexpr int kContWriteTimer = 1;
inline constexpr int kContDesTimer = 2;

// A drop-down list of the window, reached through its control id.
class CComboBox {
public:
    CComboBox(CWindowServices& window, int nID) : m_window(window), m_nID(nID) {}
    virtual ~CComboBox() = default;

    void AddString(std::string_view text) { m_window.AddListString(m_nID, text); }
    int GetCurSel() const { return m_window.GetListSel(m_nID); }
    void SetCurSel(int nIndex) { m_window.SetListSel(m_nID, nIndex); }

private:
    CWindowServices& m_window;
    int m_nID;
};

class CPelorinDlg {
public:
    explicit CPelorinDlg(CWindowServices& window);
    virtual ~CPelorinDlg() = default;
    CPelorinDlg(const CPelorinDlg&) = delete;
    CPelorinDlg& operator=(const CPelorinDlg&) = delete;

    // The start-up steps, once the window's controls exist: port list, start values, the
    // automatic port search, button states, then a refresh.
    virtual bool OnInitDialog();

    // Store (true): boxes into members, stopping at the first field that fails its check, after
    // a prompt. Refresh (false): members into boxes. False when a store failed.
    bool UpdateData(bool bSaveAndValidate = true);

    // The window-menu items of the dialog (About, verify-after-write, write record); false for a
    // command the window handles itself.
    bool OnSysCommand(unsigned nID);

    CComboBox m_cbPort;
    std::string m_strCountry;
    std::string m_strNational;
    std::int32_t m_nAdd = 0;
    std::int32_t m_nFdxAdd = 1;
    std::string m_strFdxCountry;
    std::string m_strFdxNational;
    std::string m_strKey;
    CReaderLink m_readerLink;
    // The write log with its file name m_strLogFile; tests replace it before start-up to choose
    // the directory and the clock.
    CWriteLog m_writeLog;
    // Every identity of the write logs in the log directory, and each line logged since.
    CWriteLogIndex m_writeLogIndex;
    // Lines this run added to m_writeLog.
    std::size_t m_nLogLines = 0;
    // Every tag write is read back and must hold the record written.
    bool m_bVerifyWrite = false;

    // Port controls.
    void OnSearch();
    void OnOpenPort();
    void OnClosePort();
    void OnSelchangePort();

    // Tag operations.
    void OnRead();
    void OnWrite();
    void OnFdxRead();
    void OnFdxWrite();
    void OnDes();
    void OnLoadKey();
    void OnStopWrite();
    void OnStopDes();

    // Window-menu items of the write guard.
    void OnVerifyWrite();
    void OnWriteRecord();

    // Continuous modes.
    void OnContWrite();
    void OnContDes();
    void OnTimer();
    // False when the write log failed, which ends the timer message there.
    bool ContWriteStep();

protected:
    void DoDataExchange(CDataExchange& dx);

private:
    // kDuplicate: an identity logged before was not written, because the operator said no or
    // because a continuous step met it.
    enum class FdxWriteOutcome { kWriteFailed, kWritten, kLogFailed, kDuplicate };
    struct FdxWriteResult {
        FdxWriteOutcome outcome;
        std::string strStopMessage;  // kDuplicate of a continuous step: what the stopped mode shows
    };

    // Keeps the continuous steps from running while a write is between its store and the end of
    // its write: a step inside the store's prompt would write the tag that the write then writes
    // over.
    class CStepHold {
    public:
        explicit CStepHold(bool& bHold) : m_bHold(bHold), m_bWas(bHold) { m_bHold = true; }
        ~CStepHold() { m_bHold = m_bWas; }
        CStepHold(const CStepHold&) = delete;
        CStepHold& operator=(const CStepHold&) = delete;

    private:
        bool& m_bHold;
        bool m_bWas;
    };

    void SearchPorts();
    void EnablePortButtons(bool bPortInUse);
    // Appends a write-log line; the identity joins the index even when the line failed. On
    // failure refreshes the boxes, shows the file and the cause and returns false, which ends the
    // calling operation at its log line.
    bool AppendWriteLog(std::string_view strIdentity, std::string_view strFlag);
    // The box text for an identity the index holds, or empty when it holds none.
    std::string DuplicateText(std::string_view strIdentity, std::string_view format) const;
    // False when the identity was logged before and the operator chose not to write it again.
    bool ConfirmNewIdentity(std::string_view strIdentity);
    // WriteTag, and with verify-after-write one ReadTag that must find the record on the tag;
    // non-zero for a failed write.
    int WriteTag(const TagRecord& record);
    // The scrambled write that FDX-B Write (bContinuous false) and every continuous-write step
    // share: store, check the entered identity against the logs, write it scrambled, and after a
    // good write remember it, advance the national number, signal once and log it.
    FdxWriteResult WriteFdxIdentity(bool bAnimal, bool bContinuous);

    CWindowServices& m_window;
    bool m_bHoldSteps = false;
    // Something in the log directory could not be read at start-up; the index says what.
    bool m_bIndexIncomplete = false;
    // Identities written this run that the index could not take.
    std::size_t m_nUnindexedLines = 0;
};

// The buttons of the window and their handlers.
inline constexpr std::pair<int, void (CPelorinDlg::*)()> kButtonHandlers[] = {
    {IDC_READ, &CPelorinDlg::OnRead},
    {IDC_WRITE, &CPelorinDlg::OnWrite},
    {IDC_SEARCH, &CPelorinDlg::OnSearch},
    {IDC_OPEN, &CPelorinDlg::OnOpenPort},
    {IDC_CLOSE, &CPelorinDlg::OnClosePort},
    {IDC_FDX_READ, &CPelorinDlg::OnFdxRead},
    {IDC_FDX_WRITE, &CPelorinDlg::OnFdxWrite},
    {IDC_CONT_WRITE, &CPelorinDlg::OnContWrite},
    {IDC_STOP_WRITE, &CPelorinDlg::OnStopWrite},
    {IDC_LOAD_KEY, &CPelorinDlg::OnLoadKey},
    {IDC_DES, &CPelorinDlg::OnDes},
    {IDC_CONT_DES, &CPelorinDlg::OnContDes},
    {IDC_STOP_DES, &CPelorinDlg::OnStopDes},
};

// The edit boxes that show the edit font, in the order start-up sets it.
inline constexpr int kEditFontBoxes[] = {IDC_COUNTRY,      IDC_NATIONAL, IDC_ADD, IDC_FDX_COUNTRY,
                                         IDC_FDX_NATIONAL, IDC_FDX_ADD,  IDC_KEY};

#endif
