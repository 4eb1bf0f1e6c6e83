#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "log_file.h"
#include "write_log.h"

namespace {

// Writes all of `data`; returns 0 or errno, with the count of bytes that did reach the file.
int WriteAll(int fd, std::string_view data, std::size_t& written) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        written += static_cast<std::size_t>(n);
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// File systems that cannot sync a directory say so with these (some network, FUSE and virtual
// ones); the line is in the file all the same. Any other answer may mean that write-back failed.
bool SyncNotSupported(int error) {
    return error == EINVAL || error == EROFS || error == ENOTSUP;
}

// A new file survives a power cut only once its directory entry is on disk too, where the file
// system can promise that at all.
int SyncDirectory(const std::string& directory) {
    const int fd =
        open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = fsync(fd) == 0 || SyncNotSupported(errno) ? 0 : errno;
    close(fd);
    return error;
}

LogFileResult WriteLocked(int fd, const std::string& directory, std::string_view header,
                          std::string_view line) {
    struct stat status;
    if (fstat(fd, &status) != 0) {
        return {errno, false};
    }
    const bool empty = status.st_size == 0;
    std::size_t written = 0;
    int error = empty ? WriteAll(fd, header, written) : 0;
    if (error == 0) {
        error = WriteAll(fd, line, written);
    }
    if (error != 0) {
        // Cut off whatever part of the lines did go in, so that no partial line stays behind.
        const bool cut = written == 0 || ftruncate(fd, status.st_size) == 0;
        return {error, !cut};
    }
    if (fsync(fd) != 0) {
        return {errno, false};
    }
    if (empty) {
        return {SyncDirectory(directory), false};
    }
    return {0, false};
}

}  // namespace

LogTime LocalLogTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string LogFileErrorText(int error) {
    return std::strerror(error);
}

LogFileResult AppendToLogFile(const std::string& directory, const std::string& path,
                              std::string_view header, std::string_view line) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return {errno, false};
    }
    LogFileResult result{0, false};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result = {errno == EWOULDBLOCK ? kLogFileLocked : errno, false};
    } else {
        result = WriteLocked(fd, directory, header, line);
    }
    // Closing also drops the lock.
    if (close(fd) != 0 && result.nError == 0) {
        result.nError = errno;
    }
    return result;
}
