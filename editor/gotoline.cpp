#include "editor/gotoline.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/palette.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"

using namespace Qt::StringLiterals;

namespace editor {

GoToLine::GoToLine(SourceEdit &edit) : QDialog(&edit), m_edit(edit)
{
    setObjectName(u"goToLine"_s);
    setWindowTitle(u"行へ移動"_s);
    const int lines = edit.source().lineCount();
    auto *prompt = new QLabel(u"行番号 (1 - %1):"_s.arg(lines), this);
    prompt->setObjectName(u"lineRange"_s);
    m_line = new QLineEdit(this);
    m_line->setObjectName(u"lineNumber"_s);
    m_line->setText(QString::number(edit.source().lineOf(edit.textCursor().position())));
    m_line->selectAll();
    prompt->setBuddy(m_line);
    m_problem = new QLabel(this);
    m_problem->setObjectName(u"lineProblem"_s);
    QPalette colours = m_problem->palette();
    colours.setColor(QPalette::WindowText, QColor(palette::kProblem));
    m_problem->setPalette(colours);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(u"移動"_s);
    buttons->button(QDialogButtonBox::Cancel)->setText(u"キャンセル"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, &GoToLine::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &GoToLine::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_line);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    setAttribute(Qt::WA_DeleteOnClose);
}

void GoToLine::accept()
{
    const int lines = m_edit.source().lineCount();
    bool ok = false;
    // Full-width digits are digits too, as a Japanese input method types them.
    const int line =
        QLocale::c().toInt(m_line->text().trimmed().normalized(QString::NormalizationForm_KC), &ok);
    if (!ok || line < 1 || line > lines) {
        m_problem->setText(
            ok ? u"%1 行はありません。1 から %2 までの数を入れてください。"_s.arg(line).arg(lines)
               : u"数を入れてください (1 から %1 まで)。"_s.arg(lines));
        m_line->setFocus();
        m_line->selectAll();
        return;
    }
    m_edit.goToLine(line);
    QDialog::accept();
}

}  // namespace editor
