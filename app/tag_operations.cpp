// The single-shot operations behind the buttons of the two identity groups.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <thread>

#include "identity.h"
#include "identity_cipher.h"
#include "message_box.h"
#include "pelorin_dlg.h"
#include "ui_pelorin_dlg.h"
#include "window_text.h"

std::uint8_t g_bContWrite = 0;
std::uint8_t g_bContDes = 0;

namespace {

constexpr std::uint16_t kReaderAddress = 0;
constexpr auto kSignalPause = std::chrono::milliseconds(50);
constexpr auto kDesPause = std::chrono::milliseconds(500);

constexpr char kAlreadyScrambledMessage[] = "此卡已加密，请换一张卡！";

// Three beeps tell the operator the tag was not read or not written.
void FailureSignal(CReaderLink& link) {
    link.Signal(kReaderAddress);
    std::this_thread::sleep_for(kSignalPause);
    link.Signal(kReaderAddress);
    std::this_thread::sleep_for(kSignalPause);
    link.Signal(kReaderAddress);
}

void ClosingSignal(CReaderLink& link) {
    link.Signal(kReaderAddress);
}

}  // namespace

bool CPelorinDlg::AppendWriteLog(std::string_view strIdentity, std::string_view strFlag) {
    const WriteLogResult result = m_writeLog.AppendWriteLog(strIdentity, strFlag);
    if (result.nError == 0) {
        return true;
    }
    // The boxes must show the advanced number, or the next store would take the old one back and
    // the next tag would get the identity just written.
    UpdateData(false);
    ShowMessage(this, QString::fromStdString(result.strMessage), QMessageBox::Warning);
    return false;
}

void CPelorinDlg::OnRead() {
    std::uint8_t abBuffer[kReadBufferSize] = {};
    if (m_readerLink.ReadTag(kReaderAddress, abBuffer) != 0) {
        m_strCountry.clear();
        m_strNational.clear();
        m_ui->IDC_1095_Animal->setChecked(false);
        FailureSignal(m_readerLink);
    } else {
        const ReadIdentity read = PlainRead(abBuffer);
        m_strCountry = WindowText(read.strCountry);
        m_strNational = WindowText(read.strNational);
        m_ui->IDC_1095_Animal->setChecked(read.bAnimal);
    }
    ClosingSignal(m_readerLink);
    UpdateData(false);
}

void CPelorinDlg::OnWrite() {
    const bool bAnimal = m_ui->IDC_1095_Animal->isChecked();
    UpdateData(true);
    const std::string strNational = GbkText(m_strNational);
    const WriteIdentity write = PlainWrite(GbkText(m_strCountry), strNational, bAnimal);
    if (m_readerLink.WriteTag(kReaderAddress, write.record) == 0) {
        m_strNational = WindowText(AdvanceNational(strNational, m_nAdd));
        if (!AppendWriteLog(write.strIdentity, "N")) {
            return;
        }
    } else {
        FailureSignal(m_readerLink);
    }
    ClosingSignal(m_readerLink);
    UpdateData(false);
}

void CPelorinDlg::OnFdxRead() {
    std::uint8_t abBuffer[kReadBufferSize] = {};
    if (m_readerLink.ReadTag(kReaderAddress, abBuffer) != 0) {
        m_strFdxCountry.clear();
        m_strFdxNational.clear();
        m_ui->IDC_1096_FdxAnimal->setChecked(false);
        FailureSignal(m_readerLink);
    } else {
        const ReadIdentity read = UnscrambledRead(abBuffer);
        m_strFdxCountry = WindowText(read.strCountry);
        m_strFdxNational = WindowText(read.strNational);
        m_ui->IDC_1096_FdxAnimal->setChecked(read.bAnimal);
    }
    ClosingSignal(m_readerLink);
    UpdateData(false);
}

void CPelorinDlg::OnFdxWrite() {
    const bool bAnimal = m_ui->IDC_1096_FdxAnimal->isChecked();

    std::uint8_t abBuffer[kReadBufferSize] = {};
    if (m_readerLink.ReadTag(kReaderAddress, abBuffer) == 0 &&
        SameIdentity(abBuffer, g_abLastWritten)) {
        OnStopWrite();
        ShowMessage(this, QString::fromUtf8(kAlreadyWrittenMessage), QMessageBox::Warning);
        return;
    }

    switch (WriteFdxIdentity(bAnimal)) {
        case FdxWriteOutcome::kLogFailed:
            return;
        case FdxWriteOutcome::kWriteFailed:
            FailureSignal(m_readerLink);
            m_readerLink.Signal(kReaderAddress);
            break;
        case FdxWriteOutcome::kWritten:
            break;
    }
    UpdateData(false);
}

CPelorinDlg::FdxWriteOutcome CPelorinDlg::WriteFdxIdentity(bool bAnimal) {
    UpdateData(true);
    const std::string strNational = GbkText(m_strFdxNational);
    const WriteIdentity write = ScrambledWrite(GbkText(m_strFdxCountry), strNational, bAnimal);
    m_strCountry.clear();
    m_strNational.clear();

    if (m_readerLink.WriteTag(kReaderAddress, write.record) != 0) {
        return FdxWriteOutcome::kWriteFailed;
    }
    RememberRecord(write.record, g_abLastWritten);
    m_strFdxNational = WindowText(AdvanceNational(strNational, m_nFdxAdd));
    m_readerLink.Signal(kReaderAddress);
    return AppendWriteLog(write.strIdentity, "Y") ? FdxWriteOutcome::kWritten
                                                  : FdxWriteOutcome::kLogFailed;
}

void CPelorinDlg::OnDes() {
    std::uint8_t abBuffer[kReadBufferSize] = {};
    if (m_readerLink.ReadTag(kReaderAddress, abBuffer) != 0) {
        return;
    }
    if (SameIdentity(abBuffer, g_abLastScrambled)) {
        OnStopDes();
        ShowMessage(this, QString::fromUtf8(kAlreadyScrambledMessage), QMessageBox::Warning);
        return;
    }
    const TagRecord record = ScrambleInPlace(abBuffer);
    if (m_readerLink.WriteTag(kReaderAddress, record) != 0) {
        return;
    }
    m_readerLink.Signal(kReaderAddress);
    RememberRecord(record, g_abLastScrambled);
    std::this_thread::sleep_for(kDesPause);
}

void CPelorinDlg::OnLoadKey() {
    UpdateData(true);
    const KeyLoadResult result = LoadCipherKey(GbkText(m_strKey));
    if (result != KeyLoadResult::kLoaded) {
        ShowMessage(this, QString::fromUtf8(KeyLoadMessage(result)), QMessageBox::Warning);
        return;
    }
    m_ui->IDC_1149_LoadKey->setEnabled(false);
    m_ui->IDC_1148_Key->setEnabled(false);
}

void CPelorinDlg::OnStopWrite() {
    g_bContWrite = 0;
    m_ui->IDC_1146_ContWrite->setEnabled(true);
    m_ui->IDC_1147_StopWrite->setEnabled(false);
}

void CPelorinDlg::OnStopDes() {
    g_bContDes = 0;
    m_ui->IDC_1150_ContDes->setEnabled(true);
    m_ui->IDC_1151_StopDes->setEnabled(false);
}
