// The single-shot operations behind the buttons of the two identity groups.
#include <chrono>
#include <thread>
#include <utility>

#include "gbk_text.h"
#include "identity.h"
#include "identity_cipher.h"
#include "pelorin_dlg.h"

std::uint8_t g_bContWrite = 0;
std::uint8_t g_bContDes = 0;

namespace {

constexpr std::uint16_t kReaderAddress = 0;
constexpr auto kSignalPause = std::chrono::milliseconds(50);
constexpr auto kDesPause = std::chrono::milliseconds(500);

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
    // The tag holds the identity whether or not its line reached the file.
    if (!m_writeLogIndex.Add(strIdentity, m_writeLog.m_strLogFile, result.strTimeStamp)) {
        ++m_nUnindexedLines;
    }
    if (result.nError == 0) {
        ++m_nLogLines;
        return true;
    }
    // The boxes must show the advanced number, or the next store would take the old one back and
    // the next tag would get the identity just written.
    UpdateData(false);
    m_window.ShowMessage(result.strMessage);
    return false;
}

void CPelorinDlg::OnRead() {
    std::uint8_t abBuffer[kReadBufferSize] = {};
    if (m_readerLink.ReadTag(kReaderAddress, abBuffer) != 0) {
        m_strCountry.clear();
        m_strNational.clear();
        m_window.CheckButton(IDC_ANIMAL, false);
        FailureSignal(m_readerLink);
    } else {
        const ReadIdentity read = PlainRead(abBuffer);
        m_strCountry = read.strCountry;
        m_strNational = read.strNational;
        m_window.CheckButton(IDC_ANIMAL, read.bAnimal);
    }
    ClosingSignal(m_readerLink);
    UpdateData(false);
}

void CPelorinDlg::OnWrite() {
    const bool bAnimal = m_window.IsButtonChecked(IDC_ANIMAL);
    WriteIdentity write{};
    int nResult = 0;
    {
        const CStepHold hold(m_bHoldSteps);
        UpdateData(true);
        const std::string strNational = GbkFromUtf8(m_strNational);
        write = PlainWrite(GbkFromUtf8(m_strCountry), strNational, bAnimal);
        // No writes nothing and leaves the boxes as typed, for the operator to correct.
        if (!ConfirmNewIdentity(write.strIdentity)) {
            return;
        }
        nResult = WriteTag(write.record);
        if (nResult == 0) {
            m_strNational = AdvanceNational(strNational, m_nAdd);
        }
    }
    if (nResult == 0) {
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
        m_window.CheckButton(IDC_FDX_ANIMAL, false);
        FailureSignal(m_readerLink);
    } else {
        const ReadIdentity read = UnscrambledRead(abBuffer);
        m_strFdxCountry = read.strCountry;
        m_strFdxNational = read.strNational;
        m_window.CheckButton(IDC_FDX_ANIMAL, read.bAnimal);
    }
    ClosingSignal(m_readerLink);
    UpdateData(false);
}

void CPelorinDlg::OnFdxWrite() {
    const bool bAnimal = m_window.IsButtonChecked(IDC_FDX_ANIMAL);

    std::uint8_t abBuffer[kReadBufferSize] = {};
    if (m_readerLink.ReadTag(kReaderAddress, abBuffer) == 0 &&
        SameIdentity(abBuffer, g_abLastWritten)) {
        OnStopWrite();
        m_window.ShowMessage(kAlreadyWrittenMessage);
        return;
    }

    switch (WriteFdxIdentity(bAnimal, false).outcome) {
        case FdxWriteOutcome::kLogFailed:
        case FdxWriteOutcome::kDuplicate:
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

CPelorinDlg::FdxWriteResult CPelorinDlg::WriteFdxIdentity(bool bAnimal, bool bContinuous) {
    WriteIdentity write{};
    {
        const CStepHold hold(m_bHoldSteps);
        UpdateData(true);
        const std::string strNational = GbkFromUtf8(m_strFdxNational);
        write = ScrambledWrite(GbkFromUtf8(m_strFdxCountry), strNational, bAnimal);
        if (bContinuous) {
            std::string strStop = DuplicateText(write.strIdentity, kDuplicateStopMessage);
            if (!strStop.empty()) {
                return {FdxWriteOutcome::kDuplicate, std::move(strStop)};
            }
        } else if (!ConfirmNewIdentity(write.strIdentity)) {
            // Before anything changes: the boxes stay as typed, for the operator to correct.
            return {FdxWriteOutcome::kDuplicate, {}};
        }
        m_strCountry.clear();
        m_strNational.clear();

        if (WriteTag(write.record) != 0) {
            return {FdxWriteOutcome::kWriteFailed, {}};
        }
        RememberRecord(write.record, g_abLastWritten);
        m_strFdxNational = AdvanceNational(strNational, m_nFdxAdd);
    }
    m_readerLink.Signal(kReaderAddress);
    return {AppendWriteLog(write.strIdentity, "Y") ? FdxWriteOutcome::kWritten
                                                   : FdxWriteOutcome::kLogFailed,
            {}};
}

void CPelorinDlg::OnDes() {
    std::uint8_t abBuffer[kReadBufferSize] = {};
    if (m_readerLink.ReadTag(kReaderAddress, abBuffer) != 0) {
        return;
    }
    if (SameIdentity(abBuffer, g_abLastScrambled)) {
        OnStopDes();
        m_window.ShowMessage(kAlreadyScrambledMessage);
        return;
    }
    const TagRecord record = ScrambleInPlace(abBuffer);
    if (WriteTag(record) != 0) {
        return;
    }
    m_readerLink.Signal(kReaderAddress);
    RememberRecord(record, g_abLastScrambled);
    std::this_thread::sleep_for(kDesPause);
}

void CPelorinDlg::OnLoadKey() {
    UpdateData(true);
    const KeyLoadResult result = LoadCipherKey(GbkFromUtf8(m_strKey));
    if (result != KeyLoadResult::kLoaded) {
        m_window.ShowMessage(KeyLoadMessage(result));
        return;
    }
    m_window.EnableItem(IDC_LOAD_KEY, false);
    m_window.EnableItem(IDC_KEY, false);
}

void CPelorinDlg::OnStopWrite() {
    g_bContWrite = 0;
    m_window.EnableItem(IDC_CONT_WRITE, true);
    m_window.EnableItem(IDC_STOP_WRITE, false);
}

void CPelorinDlg::OnStopDes() {
    g_bContDes = 0;
    m_window.EnableItem(IDC_CONT_DES, true);
    m_window.EnableItem(IDC_STOP_DES, false);
}
