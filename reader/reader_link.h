// Reader command frames and the four reader commands.
#ifndef PELORIN_READER_LINK_H
#define PELORIN_READER_LINK_H

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::uint16_t RDR_CMD_CHECK = 0x0101;
inline constexpr std::uint16_t RDR_CMD_READ_TAG = 0x0103;
inline constexpr std::uint16_t RDR_CMD_WRITE_TAG = 0x0203;
inline constexpr std::uint16_t RDR_CMD_SIGNAL = 0x0601;

inline constexpr std::size_t kFrameAreaSize = 1024;
inline constexpr std::size_t kMaxFrameData = 250;
inline constexpr std::size_t kReadBufferSize = 16;

// One request and its answer, for the duration of one command; lives on the caller's stack.
class CReaderFrame {
public:
    // Builds the stuffed request; `data` may be null when `length` is 0; `length` at most 250.
    CReaderFrame(std::uint16_t address, std::uint16_t command, const std::uint8_t* data,
                 std::size_t length);
    virtual ~CReaderFrame() = default;

    void Unstuff();
    std::uint8_t Status() const;
    int DataLength() const;
    // Copies `count` bytes from response position 8 on (nothing when DataLength() is 0); never
    // reads past the response area.
    void CopyData(std::uint8_t* destination, std::size_t count) const;

    std::uint8_t m_abRequest[kFrameAreaSize];
    std::uint32_t m_nRequestLength;
    std::uint8_t m_abResponse[kFrameAreaSize];
    std::int32_t m_nResponseCount;
};

// All reader commands go through this; it keeps no state between commands and uses the program's
// binding (g_portLibrary). Each returns 0 on success, non-zero otherwise.
class CReaderLink {
public:
    virtual ~CReaderLink() = default;

    int Check(std::uint16_t address);
    // On success `destination` holds the status byte 0 and then the tag record; at most 16 bytes
    // are written.
    int ReadTag(std::uint16_t address, std::uint8_t (&destination)[kReadBufferSize]);
    // Sends the first 9 bytes of `record`, or 12 when record byte 7 is non-zero (a 12-byte form
    // needs 12 bytes in `record`, or the command fails with 1 and sends nothing).
    int WriteTag(std::uint16_t address, std::span<const std::uint8_t> record);
    int Signal(std::uint16_t address);
};

#endif
