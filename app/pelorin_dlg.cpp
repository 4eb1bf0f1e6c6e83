#include "pelorin_dlg.h"

#include "data_exchange.h"
#include "port_library.h"

namespace {

constexpr std::uint32_t kBaudRate = 19200;
constexpr std::uint16_t kReaderAddress = 0;
constexpr int kFirstSearchedPort = 1;
constexpr int kLastSearchedPort = 8;
constexpr int kLastListedPort = 9;

// Without a binding object every port stays closed, as if no reader were attached.
std::int32_t ClosePort() {
    const CPortLibrary* library = g_portLibrary.m_pLibrary;
    return library != nullptr ? library->CloseComPort() : 1;
}

std::int32_t OpenPort(int port) {
    const CPortLibrary* library = g_portLibrary.m_pLibrary;
    return library != nullptr ? library->OpenComPort(port, kBaudRate) : 0;
}

}  // namespace

CPelorinDlg::CPelorinDlg(CWindowServices& window) : m_cbPort(window, IDC_PORT), m_window(window) {}

void CPelorinDlg::DoDataExchange(CDataExchange& dx) {
    dx.Text(IDC_COUNTRY, m_strCountry, 3);
    dx.Text(IDC_NATIONAL, m_strNational, 12);
    dx.Text(IDC_ADD, m_nAdd);
    dx.Text(IDC_FDX_ADD, m_nFdxAdd);
    dx.Text(IDC_FDX_COUNTRY, m_strFdxCountry, 3);
    dx.Text(IDC_FDX_NATIONAL, m_strFdxNational, 12);
    dx.Text(IDC_KEY, m_strKey, 15);
}

bool CPelorinDlg::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(m_window, bSaveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

bool CPelorinDlg::OnInitDialog() {
    m_window.AppendMenuItem(0, {});
    m_window.AppendMenuItem(IDM_VERIFY_WRITE, kVerifyWriteMenuText);
    m_window.AppendMenuItem(IDM_WRITE_RECORD, kWriteRecordMenuText);
    m_bVerifyWrite = m_window.GetProfileInt(kSettingsSection, kVerifyWriteEntry, 0) != 0;
    m_window.CheckMenuItem(IDM_VERIFY_WRITE, m_bVerifyWrite);

    m_cbPort.AddString("Select");
    m_cbPort.SetCurSel(0);
    for (int port = 1; port <= kLastListedPort; ++port) {
        m_cbPort.AddString("COM" + std::to_string(port));
    }

    m_nAdd = 1;
    m_writeLog.m_strLogFile = "0.csv";
    // What cannot be read stays out of the guard, and the write record says so.
    m_bIndexIncomplete = !m_writeLogIndex.Load(m_writeLog.Directory());
    m_window.CheckButton(IDC_10D, true);
    m_window.CheckButton(IDC_10H, false);

    EnablePortButtons(false);
    SearchPorts();

    m_window.EnableItem(IDC_CONT_WRITE, true);
    m_window.EnableItem(IDC_STOP_WRITE, false);
    m_window.EnableItem(IDC_STOP_DES, false);

    UpdateData(false);
    return true;
}

bool CPelorinDlg::OnSysCommand(unsigned nID) {
    switch (nID & 0xFFF0) {
        case IDM_ABOUTBOX:
            m_window.ShowAboutBox();
            return true;
        case IDM_VERIFY_WRITE:
            OnVerifyWrite();
            return true;
        case IDM_WRITE_RECORD:
            OnWriteRecord();
            return true;
        default:
            return false;
    }
}

void CPelorinDlg::EnablePortButtons(bool bPortInUse) {
    m_window.EnableItem(IDC_SEARCH, !bPortInUse);
    m_window.EnableItem(IDC_OPEN, !bPortInUse);
    m_window.EnableItem(IDC_CLOSE, bPortInUse);
}

void CPelorinDlg::SearchPorts() {
    for (int port = kFirstSearchedPort; port <= kLastSearchedPort; ++port) {
        ClosePort();
        if (OpenPort(port) == 0) {
            continue;
        }
        if (m_readerLink.Check(kReaderAddress) != 0) {
            continue;
        }
        m_readerLink.Signal(kReaderAddress);
        m_cbPort.SetCurSel(port);
        EnablePortButtons(true);
        return;
    }
}

void CPelorinDlg::OnSearch() {
    SearchPorts();
}

void CPelorinDlg::OnOpenPort() {
    const int port = m_cbPort.GetCurSel();
    ClosePort();
    if (OpenPort(port) != 0) {
        EnablePortButtons(true);
    }
}

void CPelorinDlg::OnClosePort() {
    ClosePort();
    EnablePortButtons(false);
}

// Open reads the selection when pressed; choosing an entry changes nothing by itself.
void CPelorinDlg::OnSelchangePort() {}
