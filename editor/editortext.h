#pragma once

#include <QList>
#include <QString>

namespace editor {

// The editor's text uses CR LF between lines, and a LF that does not follow a CR (documents from
// Unix open that way) stays a LF. The text document behind the editor keeps a line per block,
// and such a LF as a line separator inside its block, so that set-then-get gives back the string.

// A line separator that was in the text itself, not made from a LF, is marked by the document
// positions listed here, so that it can be told apart when the text is read back.
struct DocumentText {
    QString text;
    QList<qsizetype> literalSeparators;
};

// From editor text to what QPlainTextEdit::setPlainText takes.
DocumentText toDocumentText(QStringView text);

// From QTextDocument::toRawText() to editor text, when no separator is marked.
QString fromDocumentText(QStringView raw);

// Pasted or dropped text: every kind of line break becomes a line of the editor.
QString pastedToDocumentText(QStringView text);

}  // namespace editor
