#include "utf16.h"

#include <windows.h>

std::wstring Utf16FromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int nInput = static_cast<int>(text.size());
    const int nLength = MultiByteToWideChar(CP_UTF8, 0, text.data(), nInput, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(nLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), nInput, result.data(), nLength);
    return result;
}

std::string Utf8FromUtf16(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int nInput = static_cast<int>(text.size());
    const int nLength =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), nInput, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(nLength), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), nInput, result.data(), nLength, nullptr, nullptr);
    return result;
}
