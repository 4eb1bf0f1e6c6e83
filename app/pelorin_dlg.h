// The operator window: port controls, the two identity groups and the continuous modes.
#ifndef PELORIN_PELORIN_DLG_H
#define PELORIN_PELORIN_DLG_H

#include <QBasicTimer>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "reader_link.h"
#include "write_log.h"

class QComboBox;
class QContextMenuEvent;
class QKeyEvent;
class QMenu;
class QTimerEvent;
class CDataExchange;

namespace Ui {
class CPelorinDlg;
}

// Program-wide mode flags of continuous writing and continuous scrambling.
extern std::uint8_t g_bContWrite;
extern std::uint8_t g_bContDes;

// Command identifier of the About item in the window menu; the low four bits are free for the
// window system, as with the system commands.
inline constexpr unsigned kIdmAboutBox = 0x0010;
inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kScClose = 0xF060;

// The refusal of FDX-B Write and of continuous writing when the tag on the reader is the one
// just written.
inline constexpr char kAlreadyWrittenMessage[] = "此卡刚刚已写入过，请换一张卡！";

inline constexpr int kContWriteTimer = 1;
inline constexpr int kContDesTimer = 2;

class CPelorinDlg : public QDialog {
    Q_OBJECT

public:
    explicit CPelorinDlg(QWidget* parent = nullptr);
    ~CPelorinDlg() override;

    // Store (true): boxes into members, stopping at the first field that fails its check, after
    // a prompt. Refresh (false): members into boxes. False when a store failed.
    bool UpdateData(bool bSaveAndValidate = true);

    // Window timers by identifier (1 or 2); starting a running timer restarts it.
    void SetTimer(int nIDEvent, int nElapse);
    void KillTimer(int nIDEvent);
    bool IsTimerActive(int nIDEvent) const;

    // The window menu's commands (About, minimise, close).
    void OnSysCommand(unsigned nID);

    // The controls, for the handlers and for tests.
    Ui::CPelorinDlg& Controls() { return *m_ui; }
    // The window menu (right click on the window's background); null before initialisation.
    QMenu* SystemMenu() const { return m_pSystemMenu; }

    QComboBox* m_cbPort = nullptr;
    QString m_strCountry;
    QString m_strNational;
    std::int32_t m_nAdd = 0;
    std::int32_t m_nFdxAdd = 1;
    QString m_strFdxCountry;
    QString m_strFdxNational;
    QString m_strKey;
    CReaderLink m_readerLink;
    QIcon m_hIcon;

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

    // Appends a write-log line; on failure refreshes the boxes, shows the file and the cause and
    // returns false, which ends the calling operation at its log line.
    bool AppendWriteLog(std::string_view strIdentity, std::string_view strFlag);

    enum class FdxWriteOutcome { kWriteFailed, kWritten, kLogFailed };
    // The scrambled write that FDX-B Write and every continuous-write step share: store, write the
    // entered identity scrambled, and after a good write remember it, advance the national number,
    // signal once and log it.
    FdxWriteOutcome WriteFdxIdentity(bool bAnimal);

    // Enter: store, then close unless the store failed.
    void accept() override;
    void setVisible(bool visible) override;

protected:
    virtual bool OnInitDialog();
    void DoDataExchange(CDataExchange& dx);

    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void SearchPorts();
    void EnablePortButtons(bool bPortInUse);
    QBasicTimer* Timer(int nIDEvent);

    std::unique_ptr<Ui::CPelorinDlg> m_ui;
    bool m_bInitialized = false;
    QFont m_editFont;
    QMenu* m_pSystemMenu = nullptr;
    std::array<QBasicTimer, 2> m_timers;
};

#endif
