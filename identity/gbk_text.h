// The window's texts arrive as UTF-8; the identity conversions and the key rule work on GBK bytes.
#ifndef PELORIN_GBK_TEXT_H
#define PELORIN_GBK_TEXT_H

#include <string>
#include <string_view>

// GBK bytes of `utf8`; a character that GBK cannot hold, or a malformed UTF-8 sequence, becomes
// '?'. ASCII passes unchanged.
std::string GbkFromUtf8(std::string_view utf8);

#endif
