#include "forms/form3.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>

#include "engine/refreshpolicy.h"
#include "forms/form1.h"
#include "forms/twipsgeometry.h"

using namespace Qt::StringLiterals;

namespace forms {

namespace {

const QString kSettingsTitle = u"設定"_s;

}  // namespace

Form3::Form3(Form1 &form1) : QWidget(&form1, Qt::Dialog), m_form1(form1)
{
    setObjectName(u"Form3"_s);
    setWindowTitle(kSettingsTitle);

    auto *frame1 = new QGroupBox(this);
    frame1->setObjectName(u"Frame1"_s);
    auto *frame3 = new QGroupBox(frame1);
    frame3->setObjectName(u"Frame3"_s);
    m_check1 = new QCheckBox(frame3);
    m_check1->setObjectName(u"Check1"_s);
    auto *frame2 = new QGroupBox(frame1);
    frame2->setObjectName(u"Frame2"_s);
    m_option = new QButtonGroup(this);
    // Made from the top down, as the dialog shows them.
    for (int index = 7; index >= 0; --index) {
        auto *button = new QRadioButton(frame2);
        button->setObjectName(u"Option(%1)"_s.arg(index));
        m_option->addButton(button, index);
    }
    QPushButton *command1 = makeButton(this, u"Command1"_s);
    command1->setDefault(true);
    QPushButton *command2 = makeButton(this, u"Command2"_s);
    applyDesign(this, design::kForm3, true);

    connect(m_option, &QButtonGroup::idClicked, this, &Form3::Option_Click);
    connect(command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(command2, &QPushButton::clicked, this, &Form3::Command2_Click);
}

bool Form3::lineBreakOn() const
{
    return m_check1->checkState() == Qt::Checked;
}

void Form3::openForSettings()
{
    // Pressed again while open: the choice under way stays.
    if (!m_open) {
        m_open = true;
        iii = int(m_mode);
        m_option->button(iii)->setChecked(true);
    }
    setVisible(true);
    raise();
    activateWindow();
    showMode();
}

void Form3::setMode(engine::RefreshMode mode)
{
    m_mode = mode;
    showMode();
}

std::optional<engine::RefreshMode> Form3::countingMode() const
{
    return m_open ? std::nullopt : std::optional(m_mode);
}

void Form3::showMode()
{
    setWindowTitle(m_open ? kSettingsTitle : QString::number(int(m_mode)));
}

void Form3::Option_Click(int index)
{
    iii = index;
}

void Form3::Command1_Click()
{
    setVisible(false);
    m_form1.setEnabled(true);
    m_form1.applyMode(engine::RefreshPolicy::IntervalForMode(iii));
    m_open = false;
    setMode(engine::refreshModeAt(iii).value_or(m_mode));
}

void Form3::Command2_Click()
{
    setVisible(false);
    m_form1.setEnabled(true);
    m_open = false;
    showMode();
}

void Form3::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Command2_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form3::closeEvent(QCloseEvent *event)
{
    // Closing by the title bar is a cancel; the window is hidden, not destroyed.
    Command2_Click();
    event->accept();
}

}  // namespace forms
