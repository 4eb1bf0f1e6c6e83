// The window speaks UTF-16 to Windows and UTF-8 to the handlers.
#ifndef PELORIN_WIN32_UTF16_H
#define PELORIN_WIN32_UTF16_H

#include <string>
#include <string_view>

std::wstring Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::wstring_view text);

#endif
