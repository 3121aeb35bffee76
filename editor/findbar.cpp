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

#include "editor/sourceedit.h"

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
    return b;
}

}  // namespace

FindBar::FindBar(SourceEdit &edit) : QWidget(&edit), m_edit(edit)
{
    setObjectName(u"findBar"_s);
    setAutoFillBackground(true);
    m_findText = new QLineEdit(this);
    m_findText->setObjectName(u"findText"_s);
    m_findText->setPlaceholderText(u"検索する文字列"_s);
    m_findText->setClearButtonEnabled(true);
    m_replaceText = new QLineEdit(this);
    m_replaceText->setObjectName(u"replaceText"_s);
    m_replaceText->setPlaceholderText(u"置換後の文字列"_s);
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
    m_searcher.setMaxThreadCount(1);
    connect(&m_due, &QTimer::timeout, this, &FindBar::search);
    connect(m_findText, &QLineEdit::textChanged, this, &FindBar::patternChanged);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::patternChanged);
    connect(m_regularExpression, &QCheckBox::toggled, this, &FindBar::patternChanged);
    connect(m_findNext, &QPushButton::clicked, this, &FindBar::findNext);
    connect(m_findPrevious, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(m_replaceOne, &QPushButton::clicked, this, &FindBar::replaceOne);
    connect(m_replaceAll, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(m_close, &QToolButton::clicked, this, &FindBar::close);
    connect(edit.document(), &QTextDocument::contentsChange, this, &FindBar::textChanged);
    connect(&edit, &SourceEdit::documentReplaced, this, [this] {
        connect(m_edit.document(), &QTextDocument::contentsChange, this, &FindBar::textChanged);
        textChanged();
    });
    connect(edit.verticalScrollBar(), &QScrollBar::valueChanged, this, &FindBar::markShown);
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
    const QTextCursor cursor = m_edit.textCursor();
    const QString selected = cursor.selectedText();
    m_from = cursor.selectionStart();
    show();
    m_edit.placeMargins();
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
    m_edit.setFocus();
    hide();
    ++m_round;
    m_edit.setFoundMarks({});
    m_edit.placeMargins();
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
    ++m_text;
    if (isVisible())
        m_due.start(kTypingPause);
}

void FindBar::search()
{
    if (!isVisible())
        return;
    if (m_edit.document()->characterCount() < kSearchHere || m_findText->text().isEmpty()) {
        searchNow();
        return;
    }
    const quint64 round = ++m_round;
    m_status->setText(u"検索中…"_s);
    m_searcher.start(
        [this, round, of = m_text, text = m_edit.document()->toRawText(), p = pattern()] {
            auto result = source::findAll(text, p);
            QMetaObject::invokeMethod(
                this, [this, round, of, result = std::move(result)] { found(round, of, result); },
                Qt::QueuedConnection);
        });
}

void FindBar::searchNow()
{
    m_due.stop();
    found(++m_round, m_text, source::findAll(m_edit.document()->toRawText(), pattern()));
}

void FindBar::found(quint64 round, quint64 of,
                    const std::variant<QList<source::Match>, QString> &result)
{
    // Stale positions, when the text changed while it was searched: it is searched again.
    if (round != m_round || of != m_text)
        return;
    m_searched = m_text;
    const QString *error = std::get_if<QString>(&result);
    m_error = error ? *error : QString();
    m_matches = error ? QList<source::Match>() : std::get<QList<source::Match>>(result);
    if (m_jump && !m_matches.isEmpty()) {
        auto it =
            std::lower_bound(m_matches.cbegin(), m_matches.cend(), m_from,
                             [](const source::Match &m, qsizetype at) { return m.start < at; });
        select(it == m_matches.cend() ? m_matches.first() : *it);
    }
    m_jump = false;
    showStatus();
    markShown();
    emit searched();
}

qsizetype FindBar::currentMatch() const
{
    const QTextCursor cursor = m_edit.textCursor();
    const auto it =
        std::lower_bound(m_matches.cbegin(), m_matches.cend(), qsizetype(cursor.selectionStart()),
                         [](const source::Match &m, qsizetype at) { return m.start < at; });
    if (it == m_matches.cend() || it->start != cursor.selectionStart() ||
        it->start + it->length != cursor.selectionEnd())
        return -1;
    return it - m_matches.cbegin();
}

void FindBar::showStatus()
{
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText, m_error.isEmpty() && !m_matches.isEmpty()
                                               ? QColor(0x44, 0x44, 0x44)
                                               : QColor(0xb0, 0x00, 0x20));
    m_status->setPalette(palette);
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

void FindBar::select(const source::Match &match)
{
    QTextCursor cursor(m_edit.document());
    cursor.setPosition(int(match.start));
    cursor.setPosition(int(match.start + match.length), QTextCursor::KeepAnchor);
    m_edit.setTextCursor(cursor);
    m_edit.ensureCursorVisible();
    m_from = match.start;
}

bool FindBar::searchedAsItStands()
{
    if (!isVisible())
        open(m_replaceText->isVisible());
    if (m_searched != m_text || m_due.isActive() || m_round == 0)
        searchNow();
    if (m_matches.isEmpty())
        showStatus();
    return !m_matches.isEmpty();
}

void FindBar::findNext()
{
    if (!searchedAsItStands())
        return;
    const qsizetype end = m_edit.textCursor().selectionEnd();
    const qsizetype start = m_edit.textCursor().selectionStart();
    auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), end,
                               [](const source::Match &m, qsizetype at) { return m.start < at; });
    // An empty selection at a match's start: that match is the next.
    if (start == end && it != m_matches.cbegin() && (it - 1)->start == start)
        --it;
    select(it == m_matches.cend() ? m_matches.first() : *it);
    showStatus();
    markShown();
}

void FindBar::findPrevious()
{
    if (!searchedAsItStands())
        return;
    const qsizetype start = m_edit.textCursor().selectionStart();
    auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), start,
                               [](const source::Match &m, qsizetype at) { return m.start < at; });
    select(it == m_matches.cbegin() ? m_matches.last() : *(it - 1));
    showStatus();
    markShown();
}

void FindBar::replaceOne()
{
    if (m_searched != m_text || m_due.isActive())
        searchNow();
    const qsizetype current = currentMatch();
    if (current < 0) {
        findNext();
        return;
    }
    const source::Match match = m_matches[current];
    // No match runs over a line: the line alone tells what the captures are.
    const QTextBlock block = m_edit.document()->findBlock(int(match.start));
    QString text = m_replaceText->text();
    for (const source::Replacement &r :
         source::replaceAll(block.text(), pattern(), m_replaceText->text()))
        if (r.match.start == match.start - block.position())
            text = r.text;
    QTextCursor cursor = m_edit.textCursor();
    cursor.insertText(text);
    m_edit.setTextCursor(cursor);
    searchNow();
    findNext();
}

void FindBar::replaceAll()
{
    searchNow();
    if (!m_error.isEmpty() || m_matches.isEmpty())
        return;
    const QList<source::Replacement> all =
        source::replaceAll(m_edit.document()->toRawText(), pattern(), m_replaceText->text());
    // One edit block: one undo step and one change, as a paste is.
    QTextCursor cursor(m_edit.document());
    cursor.beginEditBlock();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        cursor.setPosition(int(it->match.start));
        cursor.setPosition(int(it->match.start + it->match.length), QTextCursor::KeepAnchor);
        cursor.insertText(it->text);
    }
    cursor.endEditBlock();
    searchNow();
    m_status->setText(u"%1 件を置換しました"_s.arg(all.size()));
}

void FindBar::markShown()
{
    QList<source::TextRange> marks;
    if (isVisible() && m_error.isEmpty() && m_searched == m_text && !m_matches.isEmpty()) {
        QTextBlock block = m_edit.firstShownBlock();
        const qsizetype from = block.position();
        const qreal bottom = m_edit.viewport()->height();
        while (block.isValid() && m_edit.shownGeometry(block).top() <= bottom)
            block = block.next();
        const qsizetype to =
            block.isValid() ? block.position() : m_edit.document()->characterCount();
        auto it = std::lower_bound(
            m_matches.cbegin(), m_matches.cend(), from,
            [](const source::Match &m, qsizetype at) { return m.start + m.length <= at; });
        for (; it != m_matches.cend() && it->start < to && marks.size() < kMostMarks; ++it)
            marks.append({it->start, it->start + it->length});
    }
    m_edit.setFoundMarks(marks);
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
