#pragma once

#include <QList>
#include <QObject>
#include <QTextBlock>
#include <QTextCharFormat>
#include <memory>

#include "engine/background.h"
#include "source/htmlsource.h"

class QTextDocument;

namespace editor {

class EditorView;

// Keeps the parse of the editor's text up to date, edit by edit, and colours the lines in view
// from it. Colours live in the blocks' layouts, never in the text: they are no edit, no undo
// step and no change, and copying gives plain text.
class SourceColours : public QObject {
    Q_OBJECT

public:
    explicit SourceColours(EditorView &view);
    ~SourceColours() override;
    Q_DISABLE_COPY_MOVE(SourceColours)

    // A text set as a whole. A small one is parsed at once; a larger one, and the edits to it,
    // on a thread of its own, and coloured when that is done, so that typing never waits.
    void reset();
    // A page, or a stylesheet or a script of its own: coloured again in its language.
    void setLanguage(source::Language language);
    source::Language language() const { return m_source.language(); }

    // Changes are not followed until the next reset: for a text about to be set whole.
    void suspend();

    // Without colours the editor is a plain text box, and nothing is parsed.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

    // What the parse says at a place of the text document, in its positions; nothing where it
    // holds no parse.
    std::optional<source::TagPair> tagPairAt(int documentPosition) const;
    std::optional<QString> elementToClose(int documentPosition) const;
    std::optional<QString> startTagEnded(int documentPosition) const;
    bool isStyle(int documentPosition) const;
    // The start tags of the elements that hold position, innermost first: only from a parse of
    // the whole page as it stands, else none.
    QList<qsizetype> elementsAt(int documentPosition) const;
    // Whether only a part of the page around the view is parsed: a page this large would take
    // many times its size in parse trees.
    bool isWindowed() const { return m_windowed; }
    static constexpr qsizetype kParseWhole = 4 * 1024 * 1024;
    // A stylesheet's or a script's tree holds a node for each token, many times a page's.
    static constexpr qsizetype kParseWholeScript = 512 * 1024;
    static constexpr qsizetype kWindow = 256 * 1024;
    // Whether the colours are of the text as it stands: no parse is due or under way.
    bool isCurrent() const { return m_source.isCurrent() && !m_parser.isBusy(); }

    // The formats a colour is shown in.
    static QTextCharFormat format(source::Colour colour);

    // Colours what is in view and has changed since it was last coloured.
    void colourVisible();

signals:
    // The parse changed: what the caret's tag pairs with may have too.
    void parsed();

private:
    void edited(qsizetype position, qsizetype removed, qsizetype added);
    // Where the view's text begins and ends, in the text's positions.
    qsizetype shownStart() const;
    qsizetype shownEnd() const;
    void markDirty(const QList<source::TextRange> &ranges);
    void colourShown(const source::HtmlSource &from, bool clean);
    void colourBlock(const QTextBlock &block, const source::HtmlSource &from);
    void clear(QList<source::TextRange>::iterator dirty, qsizetype start, qsizetype end);
    void parseAside();
    void takeParsed(std::shared_ptr<source::HtmlSource> copy);
    void stopParsing();
    void placeWindow();
    bool viewLeftWindow() const;
    QList<source::TextRange> inText(QList<source::TextRange> ranges) const;

    EditorView &m_view;
    source::HtmlSource m_source;
    // Ranges of the text whose colours on screen may be stale, sorted and apart.
    QList<source::TextRange> m_dirty;
    bool m_enabled = true;
    bool m_suspended = false;
    bool m_windowed = false;
    qsizetype m_offset = 0;  // where the parsed text begins in the text
    // Last, so that it is gone first: its end waits for the parse under way.
    engine::Background m_parser;
};

}  // namespace editor
