#pragma once

#include <QList>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "engine/background.h"
#include "source/colour.h"
#include "source/completion.h"

class QInputMethodEvent;
class QKeyEvent;

namespace source {
class Abbreviations;
}

namespace editor {

class CompletionPopup;
class EditorView;
class SourceColours;

// What helps a person write HTML in the source box, beside typing itself: the list of what may
// go at the caret, Emmet's abbreviations expanded by Tab with their fields visited by Tab, and
// the end tag's name carried along with the start tag's (and back). Opening or filtering the
// list is no change; what it or an expansion puts in is one change and one undo step.
class WritingAids : public QObject {
    Q_OBJECT

public:
    WritingAids(EditorView &view, SourceColours &colours);
    ~WritingAids() override;
    Q_DISABLE_COPY_MOVE(WritingAids)

    // Before the box handles a key: whether it was taken here (by the list, a field or an
    // expansion).
    bool keyPress(QKeyEvent *event);
    // Has the box type a key that was not taken (by type), and then the list opens, follows or
    // closes. A key that edits a tag's name that has a partner edits the partner's too, within
    // the same edit: one change and one undo step.
    void type(QKeyEvent *event, const std::function<void()> &type);
    // Text from an input method: the list and the pair are left alone.
    void inputMethod();
    // The list goes and fields end: the box lost the focus or was clicked.
    void close();

    // What "!" declares: the encoding the document is kept in.
    void setCharset(const QString &charset) { m_charset = charset; }
    CompletionPopup &popup();
    bool isListShown() const;
    // Whether Tab visits an expansion's fields.
    bool hasFields() const { return m_field >= 0; }

signals:
    // Emmet could not be made, in Japanese.
    void failed(const QString &why);

private:
    void dismissList();
    qsizetype caret() const;
    source::CaretContext contextAtCaret(qsizetype *offset) const;
    void offer(bool opening);
    void accept();
    bool expand();
    void visitField(int step);
    void endFields();
    void prepareLink();
    bool isLinked(QKeyEvent *event) const;
    std::array<source::TextRange, 2> carryName(std::array<source::TextRange, 2> names, int edited,
                                               qsizetype added);
    void edited(qsizetype position, qsizetype removed, qsizetype added);

    EditorView &m_view;
    SourceColours &m_colours;
    CompletionPopup *m_popup = nullptr;
    std::unique_ptr<source::Abbreviations> m_abbreviations;
    QString m_charset = QStringLiteral("UTF-8");
    // An expansion's fields and its whole, in the text's positions, while Tab visits them.
    QList<source::TextRange> m_fields;
    source::TextRange m_expansion;
    int m_field = -1;
    // The names of a start tag and its end tag, in the text's positions, while the caret is in
    // one of them; and whether a key is editing them, whose edits are told at its end.
    std::optional<std::array<source::TextRange, 2>> m_link;
    bool m_linking = false;
    // The web data is read aside at the first key, so that the first list need not wait for it
    // (and start-up never does).
    bool m_reading = false;
    bool m_failureSaid = false;
    engine::Background m_reader;
};

}  // namespace editor
