// Continuous writing and continuous scrambling, driven by timers 1 and 2.
#include <chrono>
#include <thread>

#include "identity.h"
#include "pelorin_dlg.h"

namespace {

constexpr std::uint16_t kReaderAddress = 0;
constexpr int kTimerPeriodMs = 200;
constexpr auto kSameTagPause = std::chrono::milliseconds(200);
constexpr auto kWrittenPause = std::chrono::milliseconds(500);
// A tag left on the reader is read this many times more, 200 ms apart, before the step gives up.
constexpr std::uint8_t kSameTagRounds = 15;
constexpr std::uint8_t kPollRounds = 20;

}  // namespace

void CPelorinDlg::OnContWrite() {
    m_window.SetTimer(kContWriteTimer, kTimerPeriodMs);
    g_bContWrite = 1;
    m_window.EnableItem(IDC_CONT_WRITE, false);
    m_window.EnableItem(IDC_STOP_WRITE, true);
}

void CPelorinDlg::OnContDes() {
    m_window.SetTimer(kContDesTimer, kTimerPeriodMs);
    g_bContDes = 1;
    m_window.EnableItem(IDC_CONT_DES, false);
    m_window.EnableItem(IDC_STOP_DES, true);
}

// Either timer runs both modes, the write step first; a mode's timer stops at the first message
// after its flag was cleared. While a write holds the steps back, a message only stops timers.
void CPelorinDlg::OnTimer() {
    const bool bRunSteps = !m_bHoldSteps;
    if (g_bContWrite != 0) {
        if (bRunSteps && !ContWriteStep()) {
            return;
        }
    } else {
        m_window.KillTimer(kContWriteTimer);
    }
    if (g_bContDes != 0) {
        if (bRunSteps) {
            OnDes();
        }
    } else {
        m_window.KillTimer(kContDesTimer);
    }
}

bool CPelorinDlg::ContWriteStep() {
    const bool bAnimal = m_window.IsButtonChecked(IDC_FDX_ANIMAL);

    // Wait for the operator to lay a new tag on the reader.
    std::uint8_t n = 0;
    do {
        std::uint8_t abBuffer[kReadBufferSize] = {};
        if (m_readerLink.ReadTag(kReaderAddress, abBuffer) == 0) {
            if (!SameIdentity(abBuffer, g_abLastWritten)) {
                break;
            }
            if (n > kSameTagRounds) {
                OnStopWrite();
                m_window.ShowMessage(kAlreadyWrittenMessage);
                return true;
            }
            std::this_thread::sleep_for(kSameTagPause);
        }
        ++n;
    } while (n < kPollRounds);

    const FdxWriteResult result = WriteFdxIdentity(bAnimal, true);
    switch (result.outcome) {
        case FdxWriteOutcome::kLogFailed:
            return false;
        case FdxWriteOutcome::kDuplicate:
            // Ends like the same-tag refusal: mode off first, then the box, no refresh.
            OnStopWrite();
            m_window.ShowMessage(result.strStopMessage);
            return true;
        case FdxWriteOutcome::kWritten:
            std::this_thread::sleep_for(kWrittenPause);
            break;
        case FdxWriteOutcome::kWriteFailed:
            break;
    }
    UpdateData(false);
    return true;
}
