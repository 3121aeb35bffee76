#include "editor/completionpopup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>

#include "editor/palette.h"

using namespace Qt::StringLiterals;

namespace editor {

namespace {
constexpr int kRowsShown = 8;
constexpr int kListWidth = 170;
constexpr int kNoteWidth = 210;
}  // namespace

CompletionPopup::CompletionPopup(QWidget *editor) : QFrame(editor), m_editor(editor)
{
    setObjectName(u"completionPopup"_s);
    setFrameShape(QFrame::Box);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    m_list = new QListWidget(this);
    m_list->setObjectName(u"completionList"_s);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    m_note = new QLabel(this);
    m_note->setObjectName(u"completionNote"_s);
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_note->setMargin(6);
    m_note->setFixedWidth(kNoteWidth);
    m_note->setAutoFillBackground(true);
    QPalette note = m_note->palette();
    note.setColor(QPalette::Window, QColor(palette::kGutter));
    note.setColor(QPalette::WindowText, QColor(palette::kStatus));
    m_note->setPalette(note);
    layout->addWidget(m_list);
    layout->addWidget(m_note);
    connect(m_list, &QListWidget::currentRowChanged, this, &CompletionPopup::showNote);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CompletionPopup::accepted);
    hide();
}

void CompletionPopup::offer(const QList<source::Suggestion> &suggestions, const QRect &caret)
{
    if (suggestions != m_suggestions) {
        m_suggestions = suggestions;
        m_list->clear();
        for (const source::Suggestion &suggestion : suggestions) {
            auto *item = new QListWidgetItem(suggestion.name, m_list);
            if (suggestion.obsolete) {
                // Marked as such in the list too, not only in its note.
                QFont struck = m_list->font();
                struck.setStrikeOut(true);
                item->setFont(struck);
                item->setForeground(QColor(palette::kLineNumber));
            }
        }
        m_list->setCurrentRow(0);
        showNote();
    }
    const int rowHeight = m_list->sizeHintForRow(0);
    const int height = rowHeight * std::min<int>(kRowsShown, int(suggestions.size())) + 4;
    resize(kListWidth + kNoteWidth, std::max(height, m_note->heightForWidth(kNoteWidth) + 4));
    // Over the window the editor is in, wherever that is now.
    if (parentWidget() != m_editor->window())
        setParent(m_editor->window());
    const QRect shown(parentWidget()->mapFromGlobal(caret.topLeft()), caret.size());
    const QRect room = parentWidget()->rect();
    QPoint at = shown.bottomLeft() + QPoint(0, 2);
    if (at.y() + this->height() > room.bottom() && shown.top() - this->height() >= 0)
        at.setY(shown.top() - this->height() - 2);
    at.setX(std::clamp(at.x(), 0, std::max(0, room.right() - width())));
    QFrame::move(at);
    show();
    raise();
}

void CompletionPopup::move(int rows)
{
    const int count = m_list->count();
    if (count == 0)
        return;
    m_list->setCurrentRow(std::clamp(m_list->currentRow() + rows, 0, count - 1));
}

void CompletionPopup::dismiss()
{
    hide();
    m_suggestions.clear();
    m_list->clear();
}

std::optional<source::Suggestion> CompletionPopup::chosen() const
{
    const int row = m_list->currentRow();
    if (!isVisible() || row < 0 || row >= m_suggestions.size())
        return std::nullopt;
    return m_suggestions[row];
}

QStringList CompletionPopup::names() const
{
    QStringList names;
    for (const source::Suggestion &suggestion : m_suggestions)
        names.append(suggestion.name);
    return names;
}

void CompletionPopup::showNote()
{
    const int row = m_list->currentRow();
    m_note->setText(row >= 0 && row < m_suggestions.size() ? m_suggestions[row].note : QString());
}

}  // namespace editor
