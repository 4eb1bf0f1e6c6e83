// The exchange done with QSerialPort's blocking calls.
#ifndef PELORIN_BENCH_QT_SERIAL_PEER_H
#define PELORIN_BENCH_QT_SERIAL_PEER_H

#include <QSerialPort>

#include "exchange_peer.h"

namespace exchangebench {

class QtSerialPeer : public ExchangePeer {
public:
    const char* Name() const override { return "QSerialPort"; }
    bool Open(const std::string& device) override;
    ExchangeResult Exchange(const std::vector<std::uint8_t>& request) override;

private:
    QSerialPort port_;
};

}  // namespace exchangebench

#endif
