#include "qt_serial_peer.h"

#include <QByteArray>

namespace exchangebench {

namespace {
constexpr int kFirstByteMs = 1400;
constexpr int kSilenceMs = 20;
constexpr int kWriteMs = 1000;
}  // namespace

bool QtSerialPeer::Open(const std::string& device) {
    port_.setPortName(QString::fromStdString(device));
    if (!port_.open(QIODevice::ReadWrite)) {
        return false;
    }
    return port_.setBaudRate(19200) && port_.setDataBits(QSerialPort::Data8) &&
           port_.setParity(QSerialPort::NoParity) &&
           port_.setFlowControl(QSerialPort::NoFlowControl);
}

ExchangeResult QtSerialPeer::Exchange(const std::vector<std::uint8_t>& request) {
    ExchangeResult result;
    const auto start = std::chrono::steady_clock::now();
    const auto cpu = ThreadCpuTime();
    port_.clear();
    port_.write(reinterpret_cast<const char*>(request.data()), static_cast<qint64>(request.size()));
    port_.waitForBytesWritten(kWriteMs);
    QByteArray answer;
    if (port_.waitForReadyRead(kFirstByteMs)) {
        answer = port_.readAll();
        while (port_.waitForReadyRead(kSilenceMs)) {
            answer += port_.readAll();
        }
    }
    result.cpu = ThreadCpuTime() - cpu;
    result.returnedAt = std::chrono::steady_clock::now();
    result.elapsed = result.returnedAt - start;
    result.ok = !answer.isEmpty();
    result.count = static_cast<std::size_t>(answer.size());
    return result;
}

}  // namespace exchangebench
