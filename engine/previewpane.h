#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "engine/fileerror.h"
#include "engine/textsnapshot.h"

namespace engine {

// What the accessibility check found of the page: a message in Japanese, and the element it is
// of, then its ancestors (none for the page itself).
struct Finding {
    QString text;
    QList<int> elements;
};

// What a pane that shows a real page tells of it, for linking it to the source. Elements go by
// their index in the page's document order.
class PageEvents : public QObject {
    Q_OBJECT

signals:
    // The page's elements are known, after a load or an update in place.
    void elementsFound();
    // Ctrl+click: the element under the pointer, then its ancestors.
    void elementPicked(const QList<int> &elements);
    // A person scrolled the page: the innermost element at its top edge, then its ancestors.
    void pageScrolled(const QList<int> &elements);
    // A message of the page's was chosen: its line in the preview file and its column, from 1;
    // column 0 for the line's start.
    void lineChosen(int line, int column);
    // The page's accessibility was checked: what was found, at most so many, and what else the
    // person should know of it (empty for nothing).
    void accessibilityChecked(const QList<engine::Finding> &findings, const QString &note);
};

// What the engine needs of the preview: load a local file, or say why it could not be written.
class PreviewPane {
public:
    virtual ~PreviewPane() = default;

    // A refresh wrote the preview file whole.
    struct Refresh {
        QString localPath;  // native separators
        QString encoding;   // a page that declares no charset is read in it
        // The text written, none when the file holds other than it (such as a character
        // written as its reference), and which file that is on disk: it is replaced whole.
        std::optional<TextSnapshot> text;
        std::optional<quint64> file;
    };
    // Starts loading the file, or bringing the page shown up to it, and returns at once.
    virtual void navigate(const Refresh &refresh) = 0;
    // The file is being written with refresh's text (no file yet), which navigate tells once
    // it is: the page may be brought up to that text in place meanwhile.
    virtual void writing(const Refresh &refresh) { (void)refresh; }

    // Shows, in place of the page, that the preview could not be brought up to date.
    virtual void showFailure(const FileError &error) = 0;

    // The page's relative addresses resolve against folder (native separators), as if the page
    // were shown from there; empty for a document that has no place yet.
    virtual void setDocumentFolder(const QString &folder) = 0;

    // What the preview written last holds otherwise than the document, to be told beside the
    // page until the next write, with its line (from 1); empty for nothing.
    virtual void setWarning(const QString &warning, int line) { (void)warning, (void)line; }

    // Something of the program's own that the person should know, told beside the page whatever
    // page is shown; empty for nothing.
    virtual void setNotice(const QString &notice) { (void)notice; }

    // A file the page uses, open here with changes not saved: the page is served these bytes for
    // it, until nothing is told for it (its own bytes on disk again).
    virtual void setUnsaved(const QString &file, const std::optional<QByteArray> &bytes)
    {
        (void)file, (void)bytes;
    }
    // A stylesheet the page uses has this text now: the page restyles in place, or loads.
    virtual void restyle(const QString &file, const QString &text) { (void)file, (void)text; }
    // A file the page uses changed, here or on disk: the page is loaded again; unlessLoading,
    // not when a load started since the change is under way.
    virtual void usedChanged(bool unlessLoading = false) { (void)unlessLoading; }

    // A problem of the document's own as HTML, with its place in the editor (from 1).
    struct Problem {
        QString text;
        int line = 0;
        int column = 0;
    };
    // The document's problems, told beside the page until the next; note says what else the
    // person should know of them (the page too large to check), empty for nothing.
    virtual void setProblems(const QList<Problem> &problems, const QString &note)
    {
        (void)problems, (void)note;
    }

    // Checks the accessibility of the page shown once it shows the text, a check under way given
    // up; pageEvents() tells what it found. Unless a person asked, a large page is not checked:
    // it is told.
    virtual void checkAccessibility(bool asked) { (void)asked; }
    // What the check found, with places in the editor, told beside the page until the next;
    // note first among them, empty for none.
    virtual void setFindings(const QList<Problem> &findings, const QString &note)
    {
        (void)findings, (void)note;
    }

    PageEvents &pageEvents() { return m_pageEvents; }
    // Outlines the element, brought into view; -1 for none.
    virtual void showElement(int element) { (void)element; }
    // Between text, as the preview file would hold it now, and the page shown (which may be of
    // an earlier text): the element the innermost of the start tags written at starts made,
    // innermost first, -1 for none; and where the start tag of the innermost of elements is.
    virtual int elementOf(const TextSnapshot &text, const QList<qsizetype> &starts)
    {
        (void)text, (void)starts;
        return -1;
    }
    virtual std::optional<qsizetype> startOf(const TextSnapshot &text, const QList<int> &elements)
    {
        (void)text, (void)elements;
        return std::nullopt;
    }

    // The page's element of the line of text (as the preview file would hold it) from lineStart
    // to lineEnd, -1 for none; and, where the page follows the source's scroll, that element
    // brought to the top of the view.
    virtual int elementOfLine(const TextSnapshot &text, qsizetype lineStart, qsizetype lineEnd)
    {
        (void)text, (void)lineStart, (void)lineEnd;
        return -1;
    }
    virtual void scrollToElement(int element) { (void)element; }

private:
    PageEvents m_pageEvents;
};

}  // namespace engine
