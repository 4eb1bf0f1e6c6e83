#include "reader_link.h"

#include <algorithm>
#include <cstring>

#include "port_library.h"

namespace {

constexpr std::uint8_t kStuffed = 0xAA;
constexpr std::size_t kStatusPosition = 8;
constexpr std::size_t kLengthPosition = 2;
constexpr int kLengthOverhead = 5;
constexpr int kMinReadTagData = 11;  // the status byte and at least ten record bytes
constexpr std::size_t kShortRecord = 9;
constexpr std::size_t kLongRecord = 12;
constexpr std::size_t kRecordKindByte = 7;

// The library may report any count; only 0..1024 bytes of the response area exist.
std::size_t ClampCount(std::int32_t count) {
    if (count <= 0) {
        return 0;
    }
    return std::min(static_cast<std::size_t>(count), kFrameAreaSize);
}

// One exchange through the program's binding; without a binding nothing is attached.
int Exchange(CReaderFrame& frame) {
    const CPortLibrary* library = g_portLibrary.m_pLibrary;
    if (library == nullptr) {
        return 1;
    }
    return library->CommunicateRFResult(frame.m_abRequest,
                                        static_cast<std::int32_t>(frame.m_nRequestLength),
                                        frame.m_abResponse, &frame.m_nResponseCount);
}

// Sends a command and applies the result rules shared by all four commands.
int SendCommand(CReaderFrame& frame) {
    const int result = Exchange(frame);
    if (result != 0) {
        return result;
    }
    frame.Unstuff();
    return frame.Status();
}

}  // namespace

CReaderFrame::CReaderFrame(std::uint16_t address, std::uint16_t command, const std::uint8_t* data,
                           std::size_t length)
    : m_abRequest{}, m_nRequestLength(0), m_abResponse{}, m_nResponseCount(0) {
    // A request that cannot be framed stays empty, which the port library refuses to send.
    if (length > kMaxFrameData || (data == nullptr && length != 0)) {
        return;
    }
    std::size_t position = 0;
    const auto put = [&](std::uint8_t byte) { m_abRequest[position++] = byte; };
    const auto putStuffed = [&](std::uint8_t byte) {
        put(byte);
        if (byte == kStuffed) {
            put(0x00);
        }
    };

    put(0xAA);
    put(0xBB);
    putStuffed(static_cast<std::uint8_t>(length + kLengthOverhead));
    put(0x00);
    const std::uint8_t header[] = {
        static_cast<std::uint8_t>(address & 0xFF),
        static_cast<std::uint8_t>(address >> 8),
        static_cast<std::uint8_t>(command >> 8),
        static_cast<std::uint8_t>(command & 0xFF),
    };
    std::uint8_t checksum = 0;
    for (const std::uint8_t byte : header) {
        checksum ^= byte;
        putStuffed(byte);
    }
    for (std::size_t i = 0; i < length; ++i) {
        checksum ^= data[i];
        putStuffed(data[i]);
    }
    putStuffed(checksum);
    m_nRequestLength = static_cast<std::uint32_t>(position);
}

void CReaderFrame::Unstuff() {
    const std::size_t count = ClampCount(m_nResponseCount);
    m_nResponseCount = static_cast<std::int32_t>(count);
    if (count <= 2) {
        return;
    }
    std::uint8_t scratch[kFrameAreaSize];
    std::memcpy(scratch, m_abResponse, count);
    std::size_t written = 2;
    for (std::size_t read = 2; read < count; ++read) {
        m_abResponse[written++] = scratch[read];
        if (scratch[read] == kStuffed) {
            ++read;
        }
    }
    m_nResponseCount = static_cast<std::int32_t>(written);
}

std::uint8_t CReaderFrame::Status() const {
    return m_abResponse[kStatusPosition];
}

int CReaderFrame::DataLength() const {
    return std::max(m_abResponse[kLengthPosition] - kLengthOverhead, 0);
}

void CReaderFrame::CopyData(std::uint8_t* destination, std::size_t count) const {
    if (DataLength() == 0 || destination == nullptr) {
        return;
    }
    std::memcpy(destination, m_abResponse + kStatusPosition,
                std::min(count, kFrameAreaSize - kStatusPosition));
}

int CReaderLink::Check(std::uint16_t address) {
    CReaderFrame frame(address, RDR_CMD_CHECK, nullptr, 0);
    return SendCommand(frame);
}

int CReaderLink::ReadTag(std::uint16_t address, std::uint8_t (&destination)[kReadBufferSize]) {
    CReaderFrame frame(address, RDR_CMD_READ_TAG, nullptr, 0);
    const int result = SendCommand(frame);
    if (result != 0) {
        return result;
    }
    const int dataLength = frame.DataLength();
    if (dataLength < kMinReadTagData) {
        return 1;
    }
    // A reader may return more record bytes than the read buffer holds; the first 16 are the read.
    frame.CopyData(destination, std::min(static_cast<std::size_t>(dataLength), kReadBufferSize));
    return 0;
}

int CReaderLink::WriteTag(std::uint16_t address, std::span<const std::uint8_t> record) {
    const bool longForm = record.size() > kRecordKindByte && record[kRecordKindByte] != 0;
    const std::size_t length = longForm ? kLongRecord : kShortRecord;
    if (record.size() < length) {
        return 1;
    }
    CReaderFrame frame(address, RDR_CMD_WRITE_TAG, record.data(), length);
    return SendCommand(frame);
}

int CReaderLink::Signal(std::uint16_t address) {
    CReaderFrame frame(address, RDR_CMD_SIGNAL, nullptr, 0);
    return SendCommand(frame);
}
