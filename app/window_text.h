// The window keeps its texts as QString; the identity code works on GBK byte strings.
#ifndef PELORIN_WINDOW_TEXT_H
#define PELORIN_WINDOW_TEXT_H

#include <QString>
#include <string>
#include <string_view>

#include "gbk_text.h"

inline std::string GbkText(const QString& text) {
    return GbkFromUtf8(text.toStdString());
}

// Texts that come back from the identity code are digits, a sign at most.
inline QString WindowText(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

#endif
