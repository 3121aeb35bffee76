#pragma once

#include <QString>

namespace windows {

// The editor's text uses CR LF between lines, and a LF that does not follow a CR (documents from
// Unix open that way) stays a LF. The text document behind the editor keeps a line per block,
// and such a LF as a line separator inside its block, so that set-then-get gives back the string.

// From editor text to what QPlainTextEdit::setPlainText takes.
QString toDocumentText(QStringView text);

// From QTextDocument::toRawText() to editor text.
QString fromDocumentText(QStringView raw);

// Pasted or dropped text: every kind of line break becomes a line of the editor.
QString pastedToDocumentText(QStringView text);

}  // namespace windows
