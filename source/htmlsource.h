#pragma once

#include <tree_sitter/api.h>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

#include "engine/chunkedtext.h"
#include "source/colour.h"
#include "source/languages.h"

namespace source {

using engine::ChunkedText;

// A start or end tag under a position, and the tag that closes or opens the same element: the
// ranges run from the "<" to the end of the tag's name.
struct TagPair {
    TextRange tag;
    std::optional<TextRange> partner;
};

// What the editor knows about an HTML page: its parse by tree-sitter, with the text of <script>
// parsed as JavaScript and that of <style> as CSS, kept up to date edit by edit.
//
// Positions are UTF-16 indexes into the text, which has a single '\n' between lines, so that
// they are the editor's own positions. An invalid page parses too, as a browser reads one: the
// colours of what it cannot make out may be imperfect.
//
// Parsing can take long on a large page, so it can be left to another thread: edits move the
// trees along at once, a copy is parsed elsewhere, and the parsed copy is taken back.
class HtmlSource {
public:
    HtmlSource();
    ~HtmlSource();
    Q_DISABLE_COPY_MOVE(HtmlSource)

    // A new text, not parsed yet.
    void setText(QStringView text);
    // What the text is written in: a page, or a stylesheet or a script of its own, whose text is
    // read whole in its language and has no tags. The text is to be parsed again.
    void setLanguage(Language language);
    Language language() const { return m_language; }
    qsizetype size() const { return m_text.size(); }
    QString text(qsizetype from = 0, qsizetype length = -1) const
    {
        return m_text.mid(from, length < 0 ? m_text.size() : length);
    }

    // removed characters at position replaced by inserted. The trees are moved along, and
    // parsed again unless that is left for later. Returns the ranges whose colours may differ
    // now, in the new text.
    enum class Parse { Now, Later };
    QList<TextRange> edit(qsizetype position, qsizetype removed, QStringView inserted,
                          Parse when = Parse::Now);

    // Brings the parse up to the text, the whole of it the first time; the ranges whose colours
    // may differ now. A cancel flag set to non-zero stops it soon, leaving it due.
    QList<TextRange> parse(const size_t *cancel = nullptr);
    bool isParsed() const;   // there is a parse, perhaps of an earlier text
    bool isCurrent() const;  // the parse is of this very text

    // A copy to parse on another thread, and the parsed copy taken back: the edits made here
    // since the copy move its trees along, and the copy keeps the trees given up. Returns the
    // ranges whose colours may differ, or nothing when the copy is of a text set before the
    // last setText.
    std::unique_ptr<HtmlSource> copyToParse();
    std::optional<QList<TextRange>> takeParsed(HtmlSource &parsed);

    // The colours of the text within range: sorted, apart, and no span of Colour::None.
    QList<ColourSpan> colours(TextRange range) const;

    // The tag at position, or just before it, and its partner when the element has one.
    std::optional<TagPair> tagPairAt(qsizetype position) const;

    // The name, as written, of the innermost element still open at position, for an end tag
    // typed there. Void elements and elements closed before position don't count; inside a
    // comment, a tag, a script or style text there is none.
    std::optional<QString> elementToClose(qsizetype position) const;
    // Whether position is in a stylesheet's text: all of a stylesheet of its own, a page's <style>.
    bool isStyle(qsizetype position) const;
    // The start tag whose ">" ends at position, for its end tag to be put after it.
    std::optional<QString> startTagEnded(qsizetype position) const;

    // Where the start tags are of the elements whose start tag or content holds position, the
    // innermost first.
    QList<qsizetype> elementsAt(qsizetype position) const;

private:
    struct Layer;
    struct RowMark {
        qsizetype position = 0;
        quint32 row = 0;
    };

    quint32 rowAt(qsizetype position);
    Layer &ownLayer() const;  // the layer that reads the whole text
    void move(const TSInputEdit &edit);

    ChunkedText m_text;
    std::unique_ptr<Layer> m_html, m_css, m_javaScript;
    Language m_language = Language::Html;
    RowMark m_rowMark;
    // What changed since the last parse: there the embedded languages are looked for again.
    std::optional<TextRange> m_due;
    QList<TextRange> m_changed;  // by the parse of a copy, for takeParsed
    // The edits since a copy was made to parse, to move its trees along when it comes back.
    std::optional<QList<TSInputEdit>> m_sinceCopy;
    quint64 m_ticket = 0;  // of the text set last, to tell a parse that came too late
};

}  // namespace source
