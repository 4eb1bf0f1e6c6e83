// Readers the tests reach through COM port numbers. On Linux each is a reader simulator in this
// process, on a pseudo-terminal mapped to its port through CORVANEL_COMn; under Wine each is a
// Linux simulator in another process, started with one fixed behaviour and mapped to a COM port
// of the Wine prefix (scripts/windows-readers.sh). One file per platform implements it.
#ifndef PELORIN_TESTS_READER_PORTS_H
#define PELORIN_TESTS_READER_PORTS_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "simulator/reader_simulator.h"

namespace reader_ports {

// Every reader but NoTag starts with one blank tag on it (readersim::BlankTag(1)). In the order
// of the ports scripts/windows-readers.sh gives them.
enum class Reader { Tag, NoTag, Silent, TwoBursts, StaleBytes, Overlong, ShortAnswer, Status };

// The status a Status reader answers with unless told otherwise.
inline constexpr std::uint8_t kFaultStatus = 0x05;

// What a reader in this process saw and holds.
struct Seen {
    std::vector<readersim::Request> requests;
    int beeps = 0;
    std::optional<readersim::TagMemory> tag;
    std::vector<readersim::TagMemory> written;
};

// An open that must fail, and why.
struct FailingOpen {
    std::string what;
    int port;
    std::uint32_t baud;
};

class ReaderPorts {
public:
    ReaderPorts();
    // Stops the simulators this object started and removes their mappings.
    ~ReaderPorts();
    ReaderPorts(const ReaderPorts&) = delete;
    ReaderPorts& operator=(const ReaderPorts&) = delete;

    // The port at which a reader with this behaviour answers.
    int Port(Reader reader);
    // The port of a Status reader answering `status`; only kFaultStatus under Wine.
    int StatusPort(std::uint8_t status);
    // What only a reader in this process can show; nothing under Wine.
    std::optional<Seen> Look(Reader reader);
    // Makes the reader answer plainly from now on; false where its behaviour is fixed.
    bool Calm(Reader reader);
    // Lays `tag` on the reader; false where the tag field is out of reach.
    bool Place(Reader reader, const readersim::TagMemory& tag);
    // Writes `bytes` to the line outside any exchange; false where the line is out of reach.
    bool Inject(Reader reader, const std::vector<std::uint8_t>& bytes);
    // The rate the line to the reader is set to; 0 when the port is not open or its input and
    // output rates differ; nothing where the line is out of sight (under Wine).
    std::optional<std::uint32_t> LineRate(Reader reader);
    // Linux only: maps a further port to a device the test made itself, and the simulator
    // behind Port(reader).
    int Map(const std::string& device);
    readersim::ReaderSimulator& InProcess(Reader reader);
    // Opens that fail on this platform's ports; `baud` is the rate to ask for.
    std::vector<FailingOpen> FailingOpens(std::uint32_t baud);

    // Statuses a reader can be made to fail with: any in-process, the one it was started with
    // under Wine.
    static std::vector<std::uint8_t> FailureStatuses();
    // Wine accepts any rate on a pseudo-terminal; Linux refuses the ones the line does not know.
    static const bool kRefusesUnknownRates;

private:
    struct Simulators;
    std::unique_ptr<Simulators> simulators_;
};

}  // namespace reader_ports

#endif
