#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

// Encodings go by the names web pages give them ("UTF-8", "Shift_JIS", "EUC-JP", ...), which are
// also the names Qt's converters and the web view take. "Shift_JIS" is read and written as
// Windows writes it (CP932: wave dash, NEC and IBM extensions).

// The system's own encoding: the ANSI code page on Windows, UTF-8 elsewhere. New documents use it.
QString systemEncoding();

struct DecodedText {
    QString text;
    QString encoding;
};

// A document's text and the encoding it is in, chosen in this order: a byte-order mark; the
// system encoding when every byte is valid in it; the charset the page declares; Shift_JIS.
// Nothing when none of them reads every byte: a silent U+FFFD would be saved back for good.
std::optional<DecodedText> decodeDocument(QByteArrayView bytes);

// Nothing when a byte sequence is not valid in the encoding. A byte-order mark stays as text.
std::optional<QString> decodeText(QByteArrayView bytes, const QString &encoding);

// The charset the page declares in a <meta> tag near its start, as a browser's pre-scan finds
// it; empty when it declares none, or one no converter here knows.
QString declaredEncoding(QStringView text);

// Whether bytes, as the encoder made them from text, stand for exactly that text.
bool isFaithful(QStringView text, QByteArrayView bytes, const QString &encoding);

}  // namespace platform
