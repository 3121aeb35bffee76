#include "editor/findbar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <algorithm>

#include <QPlainTextEdit>

#include "editor/editorview.h"
#include "editor/palette.h"
#include "editor/sourcedocument.h"
#include "source/matches.h"

using namespace Qt::StringLiterals;

namespace editor {

namespace {

// Up to this size a search costs less than a frame, and is done at once.
constexpr int kSearchHere = 200'000;
// Typing in the page searches again when the typing pauses.
constexpr int kTypingPause = 150;
// In view there is never room for more.
constexpr qsizetype kMostMarks = 2000;

QPushButton *button(QWidget *parent, const QString &name, const QString &caption,
                    const QString &tip)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
    // As wide as its caption, not the style's least width for a button: the fields take the rest.
    b->setFixedWidth(b->fontMetrics().horizontalAdvance(caption) + 2 * b->fontMetrics().height());
    return b;
}

}  // namespace

FindBar::FindBar(EditorView &view) : QWidget(&view.edit()), m_view(view)
{
    setObjectName(u"findBar"_s);
    setAutoFillBackground(true);
    m_findText = new QLineEdit(this);
    m_findText->setObjectName(u"findText"_s);
    m_findText->setPlaceholderText(u"検索する文字列"_s);
    // A hint is no name: a screen reader says nothing of an empty field without one.
    m_findText->setAccessibleName(m_findText->placeholderText());
    m_findText->setClearButtonEnabled(true);
    m_replaceText = new QLineEdit(this);
    m_replaceText->setObjectName(u"replaceText"_s);
    m_replaceText->setPlaceholderText(u"置換後の文字列"_s);
    m_replaceText->setAccessibleName(m_replaceText->placeholderText());
    m_findPrevious =
        button(this, u"findPrevious"_s, u"前へ"_s, u"前を検索 (Shift+Enter, Shift+F3)"_s);
    m_findNext = button(this, u"findNext"_s, u"次へ"_s, u"次を検索 (Enter, F3)"_s);
    m_replaceOne = button(this, u"replaceOne"_s, u"置換"_s, u"この一致を置換して次へ"_s);
    m_replaceAll = button(this, u"replaceAll"_s, u"すべて置換"_s, u"すべての一致を置換"_s);
    m_matchCase = new QCheckBox(u"大文字と小文字を区別"_s, this);
    m_matchCase->setObjectName(u"matchCase"_s);
    m_regularExpression = new QCheckBox(u"正規表現"_s, this);
    m_regularExpression->setObjectName(u"regularExpression"_s);
    m_status = new QLabel(this);
    m_status->setObjectName(u"findStatus"_s);
    m_close = new QToolButton(this);
    m_close->setObjectName(u"closeFind"_s);
    m_close->setText(u"×"_s);
    m_close->setToolTip(u"閉じる (Esc)"_s);
    m_close->setAccessibleName(u"検索バーを閉じる"_s);
    m_close->setAutoRaise(true);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 3, 4, 3);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    grid->addWidget(m_findText, 0, 0);
    grid->addWidget(m_findPrevious, 0, 1);
    grid->addWidget(m_findNext, 0, 2);
    grid->addWidget(m_close, 0, 3);
    auto *options = new QHBoxLayout;
    options->addWidget(m_matchCase);
    options->addWidget(m_regularExpression);
    options->addWidget(m_status, 1);
    grid->addLayout(options, 1, 0, 1, 4);
    grid->addWidget(m_replaceText, 2, 0);
    grid->addWidget(m_replaceOne, 2, 1);
    grid->addWidget(m_replaceAll, 2, 2, 1, 2);
    grid->setColumnStretch(0, 1);
    setFocusProxy(m_findText);

    m_due.setSingleShot(true);
    connect(&m_due, &QTimer::timeout, this, &FindBar::search);
    connect(m_findText, &QLineEdit::textChanged, this, &FindBar::patternChanged);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::patternChanged);
    connect(m_regularExpression, &QCheckBox::toggled, this, &FindBar::patternChanged);
    connect(m_findNext, &QPushButton::clicked, this, &FindBar::findNext);
    connect(m_findPrevious, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(m_replaceOne, &QPushButton::clicked, this, &FindBar::replaceOne);
    connect(m_replaceAll, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(m_close, &QToolButton::clicked, this, &FindBar::close);
    connect(&view.source(), &SourceDocument::edited, this, &FindBar::textChanged);
    connect(&view.source(), &SourceDocument::replaced, this, &FindBar::textChanged);
    connect(view.edit().verticalScrollBar(), &QScrollBar::valueChanged, this, &FindBar::markShown);
    m_findText->installEventFilter(this);
    m_replaceText->installEventFilter(this);
    hide();
}

FindBar::~FindBar() = default;

void FindBar::open(bool withReplace)
{
    for (QWidget *w : {static_cast<QWidget *>(m_replaceText), static_cast<QWidget *>(m_replaceOne),
                       static_cast<QWidget *>(m_replaceAll)})
        w->setVisible(withReplace);
    const QTextCursor cursor = m_view.edit().textCursor();
    const QString selected = cursor.selectedText();
    m_from = m_view.source().textPosition(cursor.selectionStart());
    show();
    m_view.placeMargins();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator) &&
        selected != m_findText->text())
        m_findText->setText(selected);
    else
        patternChanged();
    (withReplace && !m_findText->text().isEmpty() ? m_replaceText : m_findText)->setFocus();
    m_findText->selectAll();
}

void FindBar::close()
{
    // First: what hides takes the focus with it.
    m_view.edit().setFocus();
    hide();
    m_searcher.cancel();
    m_marked = false;
    m_view.setFoundMarks({});
    m_view.placeMargins();
}

source::SearchPattern FindBar::pattern() const
{
    return {m_findText->text(), m_matchCase->isChecked(), m_regularExpression->isChecked()};
}

void FindBar::patternChanged()
{
    m_jump = true;
    m_due.start(0);
}

void FindBar::textChanged()
{
    ++m_changes;
    if (isVisible())
        m_due.start(kTypingPause);
}

void FindBar::search()
{
    if (!isVisible())
        return;
    const SourceDocument &text = m_view.source();
    if (text.size() < kSearchHere || m_findText->text().isEmpty()) {
        searchNow();
        return;
    }
    m_status->setText(u"検索中…"_s);
    m_searcher.run([text = text.characters(0, text.size()),
                    p = pattern()](const engine::Task &) { return source::findAll(text, p); },
                   [this, of = m_changes](const auto &result) { found(of, result); });
}

void FindBar::searchNow()
{
    m_due.stop();
    m_searcher.cancel();
    const SourceDocument &text = m_view.source();
    found(m_changes, source::findAll(text.characters(0, text.size()), pattern()));
}

void FindBar::found(quint64 of, const std::variant<QList<source::Match>, QString> &result)
{
    // Stale positions, when the text changed while it was searched: it is searched again.
    if (of != m_changes)
        return;
    m_searched = m_changes;
    const QString *error = std::get_if<QString>(&result);
    m_error = error ? *error : QString();
    m_matches = error ? QList<source::Match>() : std::get<QList<source::Match>>(result);
    if (m_jump && !m_matches.isEmpty())
        select(source::matches::from(m_matches, m_from));
    m_jump = false;
    showStatus();
    markShown();
    emit searched();
}

qsizetype FindBar::currentMatch() const
{
    const source::TextRange selected = selection();
    return source::matches::at(m_matches, selected.start, selected.end);
}

source::TextRange FindBar::selection() const
{
    const QTextCursor cursor = m_view.edit().textCursor();
    return {m_view.source().textPosition(cursor.selectionStart()),
            m_view.source().textPosition(cursor.selectionEnd())};
}

void FindBar::showStatus()
{
    QPalette colours = m_status->palette();
    colours.setColor(
        QPalette::WindowText,
        QColor(m_error.isEmpty() && !m_matches.isEmpty() ? palette::kStatus : palette::kProblem));
    m_status->setPalette(colours);
    if (!m_error.isEmpty())
        m_status->setText(m_error);
    else if (m_findText->text().isEmpty())
        m_status->clear();
    else if (m_matches.isEmpty())
        m_status->setText(u"見つかりません"_s);
    else if (const qsizetype current = currentMatch(); current >= 0)
        m_status->setText(u"%1 / %2 件"_s.arg(current + 1).arg(m_matches.size()));
    else
        m_status->setText(u"%1 件"_s.arg(m_matches.size()));
}

void FindBar::select(qsizetype match)
{
    const source::Match &m = m_matches.at(match);
    QPlainTextEdit &edit = m_view.edit();
    QTextCursor cursor(edit.document());
    cursor.setPosition(m_view.source().documentPosition(m.start));
    cursor.setPosition(m_view.source().documentPosition(m.start + m.length),
                       QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
    edit.ensureCursorVisible();
    m_from = m.start;
}

bool FindBar::searchedAsItStands()
{
    if (!isVisible())
        open(m_replaceText->isVisible());
    if (m_searched != m_changes || m_due.isActive())
        searchNow();
    if (m_matches.isEmpty())
        showStatus();
    return !m_matches.isEmpty();
}

void FindBar::findNext()
{
    if (!searchedAsItStands())
        return;
    const source::TextRange selected = selection();
    select(source::matches::next(m_matches, selected.start, selected.end));
    showStatus();
    markShown();
}

void FindBar::findPrevious()
{
    if (!searchedAsItStands())
        return;
    select(source::matches::previous(m_matches, selection().start));
    showStatus();
    markShown();
}

void FindBar::replaceOne()
{
    if (m_searched != m_changes || m_due.isActive())
        searchNow();
    const qsizetype current = currentMatch();
    if (current < 0) {
        findNext();
        return;
    }
    const source::Match match = m_matches[current];
    // No match runs over a line: the line alone tells what the captures are.
    QPlainTextEdit &edit = m_view.edit();
    const source::TextRange line = m_view.source().lineAround(match.start);
    QString text = m_replaceText->text();
    for (const source::Replacement &r :
         source::replaceAll(m_view.source().characters(line.start, line.end - line.start),
                            pattern(), m_replaceText->text()))
        if (r.match.start == match.start - line.start)
            text = r.text;
    QTextCursor cursor = edit.textCursor();
    m_view.source().insert(cursor, text);
    edit.setTextCursor(cursor);
    searchNow();
    findNext();
}

void FindBar::replaceAll()
{
    searchNow();
    if (!m_error.isEmpty() || m_matches.isEmpty())
        return;
    SourceDocument &text = m_view.source();
    const QList<source::Replacement> all =
        source::replaceAll(text.characters(0, text.size()), pattern(), m_replaceText->text());
    // One edit block: one undo step and one change, as a paste is. From the last, so that the
    // positions before stay as they were.
    QTextCursor cursor(m_view.edit().document());
    cursor.beginEditBlock();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        cursor.setPosition(text.documentPosition(it->match.start));
        cursor.setPosition(text.documentPosition(it->match.start + it->match.length),
                           QTextCursor::KeepAnchor);
        text.insert(cursor, it->text);
    }
    cursor.endEditBlock();
    searchNow();
    m_status->setText(u"%1 件を置換しました"_s.arg(all.size()));
}

void FindBar::markShown()
{
    QList<source::TextRange> marks;
    if (isVisible() && m_error.isEmpty() && m_searched == m_changes && !m_matches.isEmpty()) {
        const SourceDocument &text = m_view.source();
        const QTextBlock last = m_view.lastShownBlock();
        marks = source::matches::within(
            m_matches, text.textPosition(m_view.firstShownBlock().position()),
            text.textPosition(last.position() + last.length()), kMostMarks);
        for (source::TextRange &mark : marks)
            mark = {text.documentPosition(mark.start), text.documentPosition(mark.end)};
    }
    // Nothing marked stays nothing: the view need not be told on every scroll.
    if (marks.isEmpty() && !m_marked)
        return;
    m_marked = !marks.isEmpty();
    m_view.setFoundMarks(marks);
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    // What the bar's fields leave must not reach the text box around them, which would type it.
    event->accept();
}

bool FindBar::focusNextPrevChild(bool next)
{
    // Round the bar's own controls: the text box would take Tab as a character.
    QList<QWidget *> controls;
    for (QWidget *w : std::initializer_list<QWidget *>{m_findText, m_findPrevious, m_findNext,
                                                       m_close, m_matchCase, m_regularExpression,
                                                       m_replaceText, m_replaceOne, m_replaceAll})
        if (w->isVisible())
            controls.append(w);
    // Hiding moves the focus on too.
    if (controls.isEmpty())
        return QWidget::focusNextPrevChild(next);
    const qsizetype at = controls.indexOf(focusWidget());
    const qsizetype to = (at + (next ? 1 : controls.size() - 1)) % controls.size();
    controls[at < 0 ? 0 : to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == m_replaceText)
                replaceOne();
            else if (key->modifiers() & Qt::ShiftModifier)
                findPrevious();
            else
                findNext();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace editor
