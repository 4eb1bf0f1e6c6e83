// Standard C++ and C stdio only, which the MinGW tool chain has as well: no platform twin needed.
#include "write_log_index.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "write_log.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kStampLength = 14;
constexpr std::size_t kIdentityLength = 15;
// "<identity>,<stamp>,<flag> \n"
constexpr std::size_t kRecordLength = kIdentityLength + 1 + kStampLength + 1 + 1 + 2;
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// The file number takes the low bits of a packed entry, the stamp's last 12 digits the rest.
constexpr unsigned kFileBits = 24;
constexpr std::uint64_t kFileMask = (std::uint64_t{1} << kFileBits) - 1;
constexpr std::size_t kMaxFiles = std::size_t{1} << kFileBits;

constexpr std::uint64_t kEmptyKey = ~std::uint64_t{0};
constexpr std::size_t kMinSlots = 1024;
// A foreign file named like a log may be huge; the table grows past this when it has to.
constexpr std::size_t kMaxReserve = std::size_t{1} << 21;

template <typename Char>
bool IsDigit(Char c) {
    return c >= '0' && c <= '9';
}

// On Windows a directory's names are wide, and not every one has a narrow form.
template <typename Char>
bool IsLogName(std::basic_string_view<Char> name) {
    constexpr std::string_view kExtension = ".csv";
    return name.size() == kStampLength + kExtension.size() &&
           std::equal(kExtension.begin(), kExtension.end(), name.begin() + kStampLength) &&
           std::all_of(name.begin(), name.begin() + kStampLength, IsDigit<Char>);
}

unsigned TwoDigits(std::string_view text, std::size_t at) {
    return static_cast<unsigned>(text[at] - '0') * 10 + static_cast<unsigned>(text[at + 1] - '0');
}

// "20yymmddhhmmss" with each field in its range, as the number yymmddhhmmss.
std::optional<std::uint64_t> StampValue(std::string_view stamp) {
    if (stamp.size() != kStampLength || stamp[0] != '2' || stamp[1] != '0' ||
        !std::all_of(stamp.begin(), stamp.end(), IsDigit<char>)) {
        return std::nullopt;
    }
    const unsigned month = TwoDigits(stamp, 4);
    const unsigned day = TwoDigits(stamp, 6);
    if (month < 1 || month > 12 || day < 1 || day > 31 || TwoDigits(stamp, 8) > 23 ||
        TwoDigits(stamp, 10) > 59 || TwoDigits(stamp, 12) > 59) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : stamp.substr(2)) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

// A 15-digit identity as its number; other texts have none.
std::optional<std::uint64_t> DigitKey(std::string_view identity) {
    if (identity.size() != kIdentityLength) {
        return std::nullopt;
    }
    std::uint64_t key = 0;
    for (const char c : identity) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        key = key * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return key;
}

// The window logs whatever bytes were typed, but never a control character.
bool IsIdentityText(std::string_view identity) {
    return std::none_of(identity.begin(), identity.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

struct Record {
    std::string_view identity;
    std::uint64_t stamp;
};

std::optional<Record> ParseRecord(std::string_view line) {
    const std::string_view identity = line.substr(0, kIdentityLength);
    const std::string_view tail = line.substr(kIdentityLength + 1 + kStampLength);
    if (line[kIdentityLength] != ',' || tail[0] != ',' || (tail[1] != 'Y' && tail[1] != 'N') ||
        tail[2] != ' ' || tail[3] != '\n' || !IsIdentityText(identity)) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> stamp =
        StampValue(line.substr(kIdentityLength + 1, kStampLength));
    if (!stamp) {
        return std::nullopt;
    }
    return Record{identity, *stamp};
}

enum class LogStatus { kRead, kNoHeader, kUnreadable };

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Hands every well-formed line of an open log to `take` and counts the others. The file is read
// in blocks of `buffer`'s size, so that a file of any size costs one buffer.
template <typename Take>
LogStatus ScanLog(std::FILE* file, std::vector<char>& buffer, Take&& take, std::size_t& skipped,
                  int& error) {
    const std::string_view header = WriteLogHeader();
    std::size_t held = 0;
    bool headerSeen = false;
    bool discarding = false;  // inside a line longer than the buffer
    for (;;) {
        const std::size_t wanted = buffer.size() - held;
        const std::size_t got = std::fread(buffer.data() + held, 1, wanted, file);
        if (got < wanted && std::ferror(file)) {
            error = errno;
            return LogStatus::kUnreadable;
        }
        const bool end = got < wanted;
        const std::string_view data(buffer.data(), held + got);
        std::size_t pos = 0;
        if (!headerSeen) {
            if (data.size() < header.size() || data.substr(0, header.size()) != header) {
                return LogStatus::kNoHeader;
            }
            headerSeen = true;
            pos = header.size();
        }
        if (discarding) {
            const std::size_t newline = data.find('\n');
            discarding = newline == std::string_view::npos;
            pos = discarding ? data.size() : newline + 1;
        }
        while (pos < data.size()) {
            const std::string_view rest = data.substr(pos);
            if (rest.size() >= kRecordLength) {
                if (const std::optional<Record> record =
                        ParseRecord(rest.substr(0, kRecordLength))) {
                    take(*record);
                    pos += kRecordLength;
                    continue;
                }
            }
            const std::size_t newline = rest.find('\n');
            if (newline != std::string_view::npos) {
                ++skipped;
                pos += newline + 1;
            } else if (end) {
                ++skipped;
                pos = data.size();
            } else {
                break;
            }
        }
        if (end) {
            return LogStatus::kRead;
        }
        held = data.size() - pos;
        std::memmove(buffer.data(), buffer.data() + pos, held);
        if (held == buffer.size()) {
            ++skipped;
            discarding = true;
            held = 0;
        }
    }
}

}  // namespace

std::string DisplayLogTime(std::string_view stamp) {
    if (!StampValue(stamp)) {
        return {};
    }
    std::string text;
    text.append(stamp.substr(0, 4)).append("-").append(stamp.substr(4, 2)).append("-");
    text.append(stamp.substr(6, 2)).append(" ").append(stamp.substr(8, 2)).append(":");
    text.append(stamp.substr(10, 2)).append(":").append(stamp.substr(12, 2));
    return text;
}

bool IsWriteLogName(std::string_view name) {
    return IsLogName(name);
}

CWriteLogIndex::CWriteLogIndex() {
    Clear();
}

void CWriteLogIndex::Clear() {
    m_slots.clear();
    m_nUsed = 0;
    Reserve(0);
    m_otherIdentities.clear();
    m_files.clear();
    m_counts = {};
    m_strReadError.clear();
}

bool CWriteLogIndex::Load(const std::string& directory) {
    Clear();
    const fs::path dir = directory.empty() ? fs::path(".") : fs::path(directory);
    struct Log {
        std::string name;
        std::uintmax_t size;
    };
    std::vector<Log> logs;
    std::error_code listError;
    for (fs::directory_iterator it(dir, listError); !listError && it != fs::directory_iterator();
         it.increment(listError)) {
        const fs::path file = it->path().filename();
        const fs::path::string_type& native = file.native();
        if (!IsLogName(std::basic_string_view<fs::path::value_type>(native))) {
            continue;
        }
        std::string name(native.begin(), native.end());
        std::error_code fileError;
        // Anything else of that name (a directory, a pipe) is no log and might block a read.
        if (!it->is_regular_file(fileError)) {
            if (fileError) {
                ++m_counts.nFilesUnreadable;
                NoteUnreadable((dir / name).string(), fileError);
            }
            continue;
        }
        const std::uintmax_t size = it->file_size(fileError);
        logs.push_back({std::move(name), fileError ? 0 : size});
    }
    if (listError) {
        m_counts.bDirectoryUnreadable = true;
        NoteUnreadable(dir.string(), listError);
    }

    // Name order is time order, so among equal time stamps the earlier file wins.
    std::sort(logs.begin(), logs.end(), [](const Log& a, const Log& b) { return a.name < b.name; });
    std::uintmax_t bytes = 0;
    for (const Log& log : logs) {
        bytes += log.size;
    }
    Reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(bytes / kRecordLength, kMaxReserve)));

    std::vector<char> buffer(kBlockSize);
    for (const Log& log : logs) {
        const std::string path = (dir / log.name).string();
        if (m_files.size() == kMaxFiles) {
            ++m_counts.nFilesUnreadable;
            NoteUnreadable(path, std::make_error_code(std::errc::too_many_files_open));
            continue;
        }
        const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
        if (!file) {
            ++m_counts.nFilesUnreadable;
            NoteUnreadable(path, std::error_code(errno, std::generic_category()));
            continue;
        }
        const auto fileNumber = static_cast<std::uint64_t>(m_files.size());
        m_files.push_back(log.name);
        int error = 0;
        const LogStatus status = ScanLog(
            file.get(), buffer,
            [this, fileNumber](const Record& record) {
                InsertText(record.identity, record.stamp << kFileBits | fileNumber);
            },
            m_counts.nLinesSkipped, error);
        switch (status) {
            case LogStatus::kRead:
                ++m_counts.nFilesRead;
                break;
            case LogStatus::kNoHeader:
                ++m_counts.nFilesSkipped;
                break;
            case LogStatus::kUnreadable:
                ++m_counts.nFilesUnreadable;
                NoteUnreadable(path, std::error_code(error, std::generic_category()));
                break;
        }
    }
    m_counts.nIdentities = m_nUsed + m_otherIdentities.size();
    return m_strReadError.empty();
}

std::optional<WriteLogEntry> CWriteLogIndex::Find(std::string_view identity) const {
    if (const std::optional<std::uint64_t> key = DigitKey(identity)) {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = Home(*key); m_slots[i].key != kEmptyKey; i = (i + 1) & mask) {
            if (m_slots[i].key == *key) {
                return Entry(m_slots[i].value);
            }
        }
        return std::nullopt;
    }
    const auto found = m_otherIdentities.find(std::string(identity));
    if (found == m_otherIdentities.end()) {
        return std::nullopt;
    }
    return Entry(found->second);
}

bool CWriteLogIndex::Add(std::string_view identity, std::string_view file, std::string_view stamp) {
    const std::optional<std::uint64_t> value = StampValue(stamp);
    if (!value) {
        return false;
    }
    // The run's own file is the one named last, or the newest of the logs read.
    const auto known = std::find(m_files.rbegin(), m_files.rend(), file);
    std::uint64_t fileNumber = 0;
    if (known != m_files.rend()) {
        fileNumber = static_cast<std::uint64_t>(m_files.rend() - known - 1);
    } else if (m_files.size() < kMaxFiles) {
        fileNumber = m_files.size();
        m_files.emplace_back(file);
    } else {
        return false;
    }
    InsertText(identity, *value << kFileBits | fileNumber);
    m_counts.nIdentities = m_nUsed + m_otherIdentities.size();
    return true;
}

std::size_t CWriteLogIndex::Home(std::uint64_t key) const {
    // Fibonacci hashing spreads runs of consecutive numbers over the table.
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> m_nShift);
}

void CWriteLogIndex::Reserve(std::size_t identities) {
    std::size_t slots = kMinSlots;
    while (slots < 2 * identities) {
        slots *= 2;
    }
    if (slots <= m_slots.size()) {
        return;
    }
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(slots, Slot{kEmptyKey, 0}));
    m_nShift = 64;
    for (std::size_t n = slots; n > 1; n /= 2) {
        --m_nShift;
    }
    m_nUsed = 0;
    for (const Slot& slot : old) {
        if (slot.key != kEmptyKey) {
            Insert(slot.key, slot.value);
        }
    }
}

void CWriteLogIndex::Insert(std::uint64_t key, Packed value) {
    if (2 * (m_nUsed + 1) > m_slots.size()) {
        Reserve(m_nUsed + 1);
    }
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = Home(key);
    while (m_slots[i].key != kEmptyKey) {
        if (m_slots[i].key == key) {
            m_slots[i].value = std::min(m_slots[i].value, value);
            return;
        }
        i = (i + 1) & mask;
    }
    m_slots[i] = {key, value};
    ++m_nUsed;
}

void CWriteLogIndex::InsertText(std::string_view identity, Packed value) {
    if (const std::optional<std::uint64_t> key = DigitKey(identity)) {
        Insert(*key, value);
        return;
    }
    const auto [slot, added] = m_otherIdentities.try_emplace(std::string(identity), value);
    if (!added) {
        slot->second = std::min(slot->second, value);
    }
}

void CWriteLogIndex::NoteUnreadable(const std::string& what, const std::error_code& error) {
    if (m_strReadError.empty()) {
        m_strReadError = what + "：" + error.message();
    }
}

WriteLogEntry CWriteLogIndex::Entry(Packed value) const {
    std::string stamp(kStampLength, '0');
    stamp[0] = '2';
    std::uint64_t digits = value >> kFileBits;
    for (std::size_t i = kStampLength; i > 2; --i) {
        stamp[i - 1] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    return {m_files[value & kFileMask], std::move(stamp)};
}
