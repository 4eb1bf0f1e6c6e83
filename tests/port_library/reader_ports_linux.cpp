#include <stdlib.h>
#include <termios.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "reader_ports.h"
#include "simulator/reader_simulator.h"

namespace reader_ports {

namespace {

// Above the numbers a test maps by hand.
constexpr int kFirstPort = 20;

std::string Variable(int port) {
    return "CORVANEL_COM" + std::to_string(port);
}

// The fault each reader runs with; the others answer plainly.
constexpr std::pair<Reader, readersim::Fault> kFaults[] = {
    {Reader::Silent, readersim::Fault::Silent},
    {Reader::TwoBursts, readersim::Fault::TwoBursts},
    {Reader::StaleBytes, readersim::Fault::StaleBytes},
    {Reader::Overlong, readersim::Fault::Overlong},
    {Reader::ShortAnswer, readersim::Fault::ShortAnswer},
    {Reader::Status, readersim::Fault::Status},
};

std::optional<std::uint32_t> Rate(speed_t speed) {
    constexpr std::pair<speed_t, std::uint32_t> kRates[] = {
        {B50, 50},       {B2400, 2400},     {B9600, 9600},
        {B19200, 19200}, {B115200, 115200}, {B4000000, 4000000},
    };
    for (const auto& [constant, rate] : kRates) {
        if (constant == speed) {
            return rate;
        }
    }
    return std::nullopt;
}

}  // namespace

struct ReaderPorts::Simulators {
    struct Mapped {
        int port;
        std::unique_ptr<readersim::ReaderSimulator> simulator;
    };

    int Map(const std::string& device) {
        const int port = nextPort++;
        setenv(Variable(port).c_str(), device.c_str(), 1);
        mappedPorts.push_back(port);
        return port;
    }
    Mapped& Start(std::pair<Reader, std::uint8_t> key) {
        auto found = readers.find(key);
        if (found == readers.end()) {
            readersim::Options options;
            for (const auto& [reader, fault] : kFaults) {
                if (reader == key.first) {
                    options.fault = fault;
                }
            }
            options.faultStatus = key.second;
            auto simulator = std::make_unique<readersim::ReaderSimulator>(options);
            if (key.first != Reader::NoTag) {
                simulator->placeBlankTag();
            }
            const int port = Map(simulator->devicePath());
            found = readers.emplace(key, Mapped{port, std::move(simulator)}).first;
        }
        return found->second;
    }
    Mapped& Start(Reader reader) { return Start({reader, kFaultStatus}); }

    int nextPort = kFirstPort;
    std::vector<int> mappedPorts;
    std::map<std::pair<Reader, std::uint8_t>, Mapped> readers;
};

const bool ReaderPorts::kRefusesUnknownRates = true;

ReaderPorts::ReaderPorts() : simulators_(std::make_unique<Simulators>()) {}

ReaderPorts::~ReaderPorts() {
    for (const int port : simulators_->mappedPorts) {
        unsetenv(Variable(port).c_str());
    }
}

int ReaderPorts::Port(Reader reader) {
    return simulators_->Start(reader).port;
}

int ReaderPorts::StatusPort(std::uint8_t status) {
    return simulators_->Start({Reader::Status, status}).port;
}

readersim::ReaderSimulator& ReaderPorts::InProcess(Reader reader) {
    return *simulators_->Start(reader).simulator;
}

std::optional<Seen> ReaderPorts::Look(Reader reader) {
    const readersim::ReaderSimulator& simulator = InProcess(reader);
    return Seen{simulator.requests(), simulator.beepCount(), simulator.currentTag(),
                simulator.writtenTags()};
}

bool ReaderPorts::Calm(Reader reader) {
    InProcess(reader).setFault(readersim::Fault::None);
    return true;
}

bool ReaderPorts::Place(Reader reader, const readersim::TagMemory& tag) {
    InProcess(reader).placeTag(tag);
    return true;
}

bool ReaderPorts::Inject(Reader reader, const std::vector<std::uint8_t>& bytes) {
    InProcess(reader).injectBytes(bytes);
    return true;
}

std::optional<std::uint32_t> ReaderPorts::LineRate(Reader reader) {
    const std::string device = InProcess(reader).devicePath();
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        termios line{};
        if (std::filesystem::read_symlink(entry.path(), error) == device &&
            tcgetattr(std::stoi(entry.path().filename()), &line) == 0) {
            const auto in = Rate(cfgetispeed(&line));
            return in && in == Rate(cfgetospeed(&line)) ? *in : 0;
        }
    }
    return 0;
}

int ReaderPorts::Map(const std::string& device) {
    return simulators_->Map(device);
}

std::vector<FailingOpen> ReaderPorts::FailingOpens(std::uint32_t baud) {
    const int reader = Port(Reader::Tag);
    return {
        {"device missing", simulators_->Map("/dev/pelorin-no-such-device"), baud},
        {"port not mapped", simulators_->nextPort++, baud},
        {"not a terminal", simulators_->Map("/dev/null"), baud},
        {"unsupported rate", reader, 12345},
        {"rate 0", reader, 0},
    };
}

std::vector<std::uint8_t> ReaderPorts::FailureStatuses() {
    return {0x05, 0xAA, 0xFF};
}

}  // namespace reader_ports
