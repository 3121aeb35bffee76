#pragma once

#include <QObject>
#include <QTextLayout>

#include "editor/lineends.h"
#include "engine/chunkedtext.h"
#include "engine/textsnapshot.h"
#include "source/colour.h"

class QTextBlock;
class QTextCursor;
class QTextDocument;

namespace editor {

struct DocumentStyle;
struct LoadedDocument;

// The source's text as the program keeps it: a string with CR LF between the lines the editor
// makes, in which a LF or a CR alone stays as it was, exactly as it was set, typed into and
// undone. The text document behind it is the view's, a block for each line or piece of a long
// line (see LineEnd); beside it, the same characters are kept edit by edit in shared chunks, so
// that the preview can take the text at any size for about nothing.
//
// Positions are of two kinds. The text's count each line end as one character; the text
// document's count the separators between the pieces of a long line too, which the text does not
// hold. The parse, the search and the page link work in the text's; the view in the document's.
class SourceDocument : public QObject {
    Q_OBJECT

public:
    explicit SourceDocument(QObject *parent = nullptr);
    ~SourceDocument() override = default;
    Q_DISABLE_COPY_MOVE(SourceDocument)

    // A text document of this kind, for one made elsewhere: its layout repaints only the line
    // whose colours changed, where a plain one repaints the whole view.
    static QTextDocument *newTextDocument(QObject *parent);
    QTextDocument &textDocument() const { return *m_document; }

    QString text() const;
    // A new text as a whole: one change.
    void setText(const QString &text);
    // The same text, kept up to date edit by edit: taking it costs about nothing, whatever the
    // size of the page.
    engine::TextSnapshot snapshot() const;
    // Whether the text ends in c.
    bool endsWith(QChar c) const;

    // The text's characters from position, each line end one character (see keptChar), and how
    // many there are.
    QString characters(qsizetype position, qsizetype length) const;
    qsizetype size() const { return m_kept.size(); }
    // The same characters in their chunks: a copy shares them.
    const engine::ChunkedText &kept() const { return m_kept; }
    // Whether the kept characters cannot tell every line end apart, so that only text() can.
    bool isAmbiguous() const { return m_ambiguous; }
    // Counts the text's changes: what was worked out from the text holds while this stays.
    quint64 revision() const { return m_revision; }
    // From a position of the text document to the text's, and back: a position between two
    // pieces is the end of the first.
    qsizetype textPosition(int documentPosition) const;
    int documentPosition(qsizetype textPosition) const;
    // From a position of the text to the preview file's characters, where a line end the editor
    // made is CR LF, and back.
    qsizetype fileOffset(qsizetype textPosition) const;
    qsizetype textOffset(qsizetype fileOffset) const;

    // Lines as the file has them, from 1: the pieces of a long line are one line, and a line
    // separator (U+2028) of the text's own starts one as it is shown.
    int lineCount() const;
    int lineOf(int documentPosition) const;
    // Where a line starts in the text document.
    int lineStart(int line) const;
    // Whether the block is a piece of a long line after its first.
    static bool continues(const QTextBlock &block);
    // The line that holds position, in the text's positions, from its first character to its
    // end.
    source::TextRange lineAround(qsizetype position) const;

    // Whether the text differs from the one saved or opened last; a text set whole does not,
    // until it is edited or said to.
    bool isModified() const;
    void setModified(bool modified);

    // A document loaded elsewhere, taken whole as setText takes a text: one change.
    void adopt(LoadedDocument &&loaded);
    // How the view shows the text, for a document made elsewhere.
    DocumentStyle style() const;

    // Appends CR LF at the very end as one edit of its own, keeping undo history.
    void appendLineBreak();
    // CR LF at cursor, as Enter makes it (or end); between two pieces, in place of what parts
    // them.
    void insertLineBreak(QTextCursor &cursor, LineEnd end = LineEnd::CrLf);
    // Text pasted, dropped or put in for a match at cursor, in place of its selection: every kind
    // of line break in it makes a line that ends in CR LF (or end). One edit.
    void insert(QTextCursor &cursor, QStringView text, LineEnd end = LineEnd::CrLf);

    // Text being composed with an input method shows, but changes nothing until committed.
    void setComposing(bool composing) { m_composing = composing; }
    // The colours of a block: shown, but no edit.
    void setFormats(const QTextBlock &block, const QList<QTextLayout::FormatRange> &formats);

signals:
    // Characters of the text changed, by its positions: not when a text is set whole.
    void edited(qsizetype position, qsizetype removed, qsizetype added);
    // The text changed: once per edit, typed or set.
    void changed();
    // A text is about to be set whole, and then it is: every position is new.
    void aboutToReplace();
    void replaced();
    void modificationChanged(bool modified);

private:
    void follow(QTextDocument *document);
    void followChange(int position, int removed, int added);
    void readAgain();
    qsizetype piecesBefore(qsizetype documentPosition) const;

    QTextDocument *m_document = nullptr;
    // The text's characters, each line end as its kept character.
    engine::ChunkedText m_kept;
    // Where the separators between pieces stand in the text document, in order.
    QList<qsizetype> m_pieces;
    bool m_replacing = false;
    bool m_composing = false;
    bool m_restyling = false;
    // Whether the last edit changed the text, or only how it is cut into pieces.
    bool m_textChanged = false;
    // Whether the text set last held a U+2029 of its own, which the kept characters cannot tell
    // from CR LF: such a text is read whole.
    bool m_ambiguous = false;
    quint64 m_revision = 0;
};

}  // namespace editor
