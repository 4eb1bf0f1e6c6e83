#include <windows.h>

#include <string>
#include <string_view>

#include "log_file.h"
#include "write_log.h"

namespace {

// Writes all of `data`; returns 0 or the error, with the count of bytes that did reach the file.
DWORD WriteAll(HANDLE file, std::string_view data, std::size_t& written) {
    while (!data.empty()) {
        DWORD count = 0;
        if (WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &count, nullptr) == 0) {
            return GetLastError();
        }
        if (count == 0) {
            return ERROR_WRITE_FAULT;
        }
        written += count;
        data.remove_prefix(count);
    }
    return 0;
}

LogFileResult WriteHeld(HANDLE file, std::string_view header, std::string_view line) {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) == 0 || SetFilePointerEx(file, size, nullptr, FILE_BEGIN) == 0) {
        return {static_cast<int>(GetLastError()), false};
    }
    std::size_t written = 0;
    DWORD error = size.QuadPart == 0 ? WriteAll(file, header, written) : 0;
    if (error == 0) {
        error = WriteAll(file, line, written);
    }
    if (error != 0) {
        // Cut off whatever part of the lines did go in, so that no partial line stays behind.
        const bool cut = written == 0 || (SetFilePointerEx(file, size, nullptr, FILE_BEGIN) != 0 &&
                                          SetEndOfFile(file) != 0);
        return {static_cast<int>(error), !cut};
    }
    if (FlushFileBuffers(file) == 0) {
        return {static_cast<int>(GetLastError()), false};
    }
    return {0, false};
}

std::string Utf8FromWide(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    }
    return out;
}

}  // namespace

LogTime LocalLogTime() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

std::string LogFileErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return "error " + std::to_string(error);
    }
    std::string message = Utf8FromWide(text, static_cast<int>(length));
    LocalFree(text);
    // The system's texts end in a full stop and a line break.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

LogFileResult AppendToLogFile(const std::string&, const std::string& path, std::string_view header,
                              std::string_view line) {
    // Share mode 0: no other program may open the file while the line goes in.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return {error == ERROR_SHARING_VIOLATION ? kLogFileLocked : static_cast<int>(error), false};
    }
    LogFileResult result = WriteHeld(file, header, line);
    if (CloseHandle(file) == 0 && result.nError == 0) {
        result.nError = static_cast<int>(GetLastError());
    }
    return result;
}
