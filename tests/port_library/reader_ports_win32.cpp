#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "reader_ports.h"

namespace reader_ports {

namespace {

// Ports 3 to 10 of scripts/windows-readers.sh, in the order of Reader; COM1 has no reader.
int ReaderPort(Reader reader) {
    return 3 + static_cast<int>(reader);
}

}  // namespace

struct ReaderPorts::Simulators {};

const bool ReaderPorts::kRefusesUnknownRates = false;

ReaderPorts::ReaderPorts() = default;
ReaderPorts::~ReaderPorts() = default;

int ReaderPorts::Port(Reader reader) {
    return ReaderPort(reader);
}

int ReaderPorts::StatusPort(std::uint8_t status) {
    EXPECT_EQ(status, kFaultStatus) << "the status reader was started with this status only";
    return ReaderPort(Reader::Status);
}

std::optional<Seen> ReaderPorts::Look(Reader) {
    return std::nullopt;
}

bool ReaderPorts::Calm(Reader) {
    return false;
}

bool ReaderPorts::Place(Reader, const readersim::TagMemory&) {
    return false;
}

bool ReaderPorts::Inject(Reader, const std::vector<std::uint8_t>&) {
    return false;
}

std::optional<std::uint32_t> ReaderPorts::LineRate(Reader) {
    return std::nullopt;
}

std::vector<FailingOpen> ReaderPorts::FailingOpens(std::uint32_t baud) {
    return {{"no reader on COM1", 1, baud}, {"port 0", 0, baud}, {"port -1", -1, baud}};
}

std::vector<std::uint8_t> ReaderPorts::FailureStatuses() {
    return {kFaultStatus};
}

}  // namespace reader_ports
