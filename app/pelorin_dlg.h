// The main window's members and handlers: port controls, the two identity groups and the
// continuous modes. It reaches the window toolkit only through CWindowServices.
#ifndef PELORIN_PELORIN_DLG_H
#define PELORIN_PELORIN_DLG_H

#include <cstdint>
#include <string>
#include <string_view>

#include "reader_link.h"
#include "resource.h"
#include "window_services.h"
#include "write_log.h"

class CDataExchange;

// Program-wide mode flags of continuous writing and continuous scrambling.
extern std::uint8_t g_bContWrite;
extern std::uint8_t g_bContDes;

// The refusal of FDX-B Write and of continuous writing when the tag on the reader is the one
// just written.
inline constexpr char kAlreadyWrittenMessage[] = "此卡刚刚已写入过，请换一张卡！";
// The refusal of DES when the tag on the reader is the one just scrambled.
inline constexpr char kAlreadyScrambledMessage[] = "此卡已加密，请换一张卡！";

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

    // The About item of the window menu; false for a command the window handles itself.
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
    // The write log with its file name m_strLogFile; tests replace it to choose the directory and
    // the clock.
    CWriteLog m_writeLog;

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

    // Continuous modes.
    void OnContWrite();
    void OnContDes();
    void OnTimer();
    // False when the write log failed, which ends the timer message there.
    bool ContWriteStep();

protected:
    void DoDataExchange(CDataExchange& dx);

private:
    enum class FdxWriteOutcome { kWriteFailed, kWritten, kLogFailed };

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
    // Appends a write-log line; on failure refreshes the boxes, shows the file and the cause and
    // returns false, which ends the calling operation at its log line.
    bool AppendWriteLog(std::string_view strIdentity, std::string_view strFlag);
    // The scrambled write that FDX-B Write and every continuous-write step share: store, write the
    // entered identity scrambled, and after a good write remember it, advance the national number,
    // signal once and log it.
    FdxWriteOutcome WriteFdxIdentity(bool bAnimal);

    CWindowServices& m_window;
    bool m_bHoldSteps = false;
};

#endif
