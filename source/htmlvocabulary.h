#pragma once

#include <QString>
#include <QStringList>

// What the HTML standard's tokenizer and tree builder know of characters and element names,
// written once for every feature that reads tags. Names are as the tokenizer lowers them.
namespace source::html {

// HTML's white space between attributes: space, tab, LF, FF and CR.
bool isSpace(QChar c);
bool isAsciiLetter(QChar c);
// Lowered as the tokenizer lowers tag names: ASCII letters only.
QString lowered(QStringView name);

// Never takes content: the elements authors may write so, and those the parser still knows.
bool isVoid(const QString &name);
// The tokenizer reads its text up to its end tag, markup and all: raw text, and escapable raw
// text, whose references are read. With scripting on, as in the preview, noscript too.
enum class Scripting { On, Off };
bool isRawText(const QString &name, Scripting scripting = Scripting::On);
bool isEscapableRawText(const QString &name);
// Made anew by the tree builder after a block closed it.
bool isFormatting(const QString &name);
// Placed by the tree builder from what is open around it.
bool isTablePart(const QString &name);
bool isSelectPart(const QString &name);
// Laid out as a block by a browser, or of the head: its tags stand on lines of their own when a
// page is tidied. Any other is inline.
bool isBlock(const QString &name);
// Of the elements open, innermost last, those a start tag of name closes first, as the tree
// builder does without an end tag (a <p> before a block, an <li> before the next): how many.
qsizetype closedBy(const QString &name, const QStringList &open);

}  // namespace source::html
