#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

// The system's own text encoding: the ANSI code page on Windows, UTF-8 elsewhere. Documents and
// the preview file both use it, and the web view is told the same.

// Nothing when a byte sequence is not valid: a silent U+FFFD would be saved back for good.
std::optional<QString> decodeText(const QByteArray &bytes);

// Nothing when a character cannot be represented: a silent '?' would lose it.
std::optional<QByteArray> encodeText(QStringView text);

// Whether bytes, as the system encoder made them from text, stand for exactly that text.
bool isFaithful(QStringView text, QByteArrayView bytes);

// The encoding's name as a web page names a charset ("UTF-8", "Shift_JIS", ...).
QString encodingName();

}  // namespace platform
