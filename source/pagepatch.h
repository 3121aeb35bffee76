#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

#include "source/htmltokenizer.h"

namespace source {

// Why a refresh loads the page again rather than bringing it up to date in place.
enum class Reload {
    NotShown,    // no page of a known text is shown, or its elements are not known yet
    Large,       // a page too large to read through on every keystroke
    Encoding,    // the file holds other than the text, or a character its encoding may alter
    Head,        // the head, a charset or base, or the page's top structure
    Script,      // a script or an event handler attribute
    Structure,   // a tag left open or closed where it was not opened
    Element,     // an element whose place the parser decides from what encloses it (tables, ...)
    Unfinished,  // a tag or comment still being typed where the edit ends
    Same,        // the same text again, on a page with scripts: loaded again to run them
    Page,        // the page refused: its scripts changed what the edit touches, or its context
    Used,        // a file the page uses changed (a script, a stylesheet, an image)
};
inline constexpr int kReloadReasons = int(Reload::Used) + 1;
const char *reloadName(Reload reason);

// What the page must do to show the new text as a load of it would: the nodes of one element
// between two of its children (or its ends) are parsed again from their source, in that element.
struct PagePatch {
    bool unchanged = false;  // the same text: nothing to do
    bool style = false;      // the text of a <style>: parent is the element, old and now its text
    // The page's elements, in document order, and their names; -1 for none.
    int parent = -1, before = -1, after = -1;
    QString parentName, beforeName, afterName;
    bool toBodyEnd = false;  // the slice runs to the end of the body, which takes tail
    QString closedBy;        // the end tag after the slice, which closes the element it is in
    QString old, now, tail;  // the slice's source as the page reads it: lines end in LF
    QStringList names;       // of the elements the new slice starts, sorted, once each
    int formatting = 0;      // <b>, <i>, <a>... left open before the slice

    // For the index: the slice in the old text, its length in the new, and its tokens there.
    qsizetype from = 0, oldEnd = 0, newEnd = 0;
    qsizetype firstToken = 0, endToken = 0;  // the old tokens it replaces
    QList<PageToken> tokens;
};

// The tags of the page shown in the preview, with the element each start tag made, kept from
// one refresh to the next: from them a refresh's new text is told apart from the page's, and
// the smallest part of one element that holds the edit is found, with what is known of it.
class PageIndex {
public:
    // Past this the page is loaded on every refresh: reading its tags takes tens of ms.
    static constexpr qsizetype kLargest = 16 * 1024 * 1024;

    // The text of the page loaded, as its file has it; its elements are not known yet.
    void setText(QString text);
    // The page's elements by name, in document order: start tags are matched to them.
    void setElements(const QStringList &names);
    bool isReady() const { return m_ready; }
    const QString &text() const { return m_text; }
    const QList<PageToken> &tokens() const { return m_tokens; }

    // What brings the page to text in place, or why it cannot be.
    std::variant<PagePatch, Reload> plan(const QString &text) const;
    // The page did it: first is the index of the slice's first element, removed how many the
    // page had in it, added the names of those it has now.
    void applied(PagePatch patch, const QString &text, int first, int removed,
                 const QStringList &added);
    void clear();

    // The page's element made by the innermost of the start tags written at starts (innermost
    // first) in text, a later text than the page's: -1 for none. A tag in what changed since is
    // not known.
    int elementOf(QStringView text, const QList<qsizetype> &starts) const;
    // Where in text the start tag of the innermost of elements (innermost first) is written.
    std::optional<qsizetype> startOf(QStringView text, const QList<int> &elements) const;
    // The page's element of the line of text from lineStart to lineEnd: the first made by a start
    // tag on it, else the last made before it, else the first; -1 when the page has none.
    int elementOfLine(QStringView text, qsizetype lineStart, qsizetype lineEnd) const;

private:
    std::variant<PagePatch, Reload> planStyle(const QString &text, qsizetype token,
                                              qsizetype delta) const;

    QString m_text;
    QList<PageToken> m_tokens;
    bool m_openAtEnd = false;  // the text ends in a tag, comment or <script> and is not read on
    bool m_ready = false;
};

}  // namespace source
