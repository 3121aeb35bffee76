#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <initializer_list>
#include <optional>

#include "engine/textsnapshot.h"

namespace engine {

// Encodings go by the names web pages give them ("UTF-8", "Shift_JIS", "EUC-JP", ...), which are
// also the names Qt's converters and the web view take. "Shift_JIS" is read and written as
// Windows writes it (CP932: wave dash, NEC and IBM extensions).

struct DecodedText {
    QString text;
    QString encoding;
};

// Where a file says its encoding, as a browser reads it: a page in a <meta>, a stylesheet in
// the "@charset" it starts with, a script nowhere (it is read in its page's).
enum class Declares { Meta, CharsetRule, Nothing };

// A document's text and the encoding it is in, chosen in this order: a byte-order mark; for a
// page, the system encoding when every byte is valid in it, the charset the page declares;
// for a stylesheet or script, the charset it declares, the page's encoding, UTF-8, the system
// encoding; then Shift_JIS. Nothing when none of them reads every byte: a silent U+FFFD would be
// saved back for good.
std::optional<DecodedText> decodeDocument(QByteArrayView bytes, Declares declares = Declares::Meta,
                                          const QString &pageEncoding = {});

// The encoding a stylesheet's first rule, @charset "label";, names, as CSS reads it (UTF-16
// labels mean UTF-8); empty for none.
QString cssCharset(QByteArrayView bytes);

// What a person should know before saving bytes that read as text in encoding: that the
// encoding writes one of its characters otherwise than the bytes have it (CP932's duplicates,
// ISO-2022-JP's escapes), so that saving changes them. Empty when the bytes come back.
QString rewrittenOnSave(QByteArrayView bytes, const QString &text, const QString &encoding);

// Whether a converter here reads and writes the encoding.
bool isKnownEncoding(const QString &encoding);

// Nothing when a byte sequence is not valid in the encoding. A byte-order mark stays as text.
std::optional<QString> decodeText(QByteArrayView bytes, const QString &encoding);

// The encoding the web's encoding standard gives a label ("latin1" and "us-ascii" are
// windows-1252, "x-sjis" is Shift_JIS), by the name the converters here take; empty for a label
// it does not know, one whose bytes no page can be read in, or one no converter here knows.
QString encodingForLabel(QStringView label);

// The charset bytes declare in a <meta> tag within their first reach bytes (1024 for HTML's), found
// as HTML's prescan finds it (comments and other tags passed over, charset or http-equiv with
// content, attributes in any order and quoting); empty when they declare none that is known here.
QString prescanEncoding(QByteArrayView bytes, qsizetype reach = 1024);

// The same for a text whose file would be in encoding (UTF-8 when unknown): how many bytes its
// characters take decides how far the prescan reaches.
QString declaredEncoding(QStringView text, const QString &encoding = {});

// What becomes of a character the encoding cannot hold: the text is refused, or the character
// is written as its character reference (&#x1F600;), as a page may write any character.
enum class Unencodable { Refuse, Reference };

struct EncodedText {
    enum class Result { Ok, UnknownEncoding, Unencodable, Cancelled };
    Result result = Result::Ok;
    QByteArray bytes;
    // For Unencodable: the first character the encoding cannot hold, and its line (from 1),
    // counted across the parts.
    QString character;
    int line = 0;
    // For Reference: the first character written as a reference, and its line as an editor
    // counts them (a lone LF ends one too); empty when there was none.
    QString referenced;
    int referencedLine = 0;
};

// The parts, one after another, in the encoding, in one pass that also makes sure the bytes
// stand for exactly the text: nothing is written that would read back differently.
EncodedText encodeText(std::initializer_list<QStringView> parts, const QString &encoding);
// The same for a snapshot and then tail; a cancel flag set meanwhile stops it soon.
EncodedText encodeText(const TextSnapshot &text, QStringView tail, const QString &encoding,
                       const std::atomic<bool> *cancel = nullptr,
                       Unencodable unencodable = Unencodable::Refuse);

}  // namespace engine
