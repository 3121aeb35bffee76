#include "windows/form3.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>

#include "engine/refreshpolicy.h"
#include "windows/form1.h"
#include "windows/twipsgeometry.h"

using namespace Qt::StringLiterals;

namespace windows {

namespace {

const QString kSettingsTitle = u"設定"_s;

struct OptionDesign {
    int index;
    const char16_t *caption;
    TwipsRect rect;
};

// Top to bottom as the dialog shows them; the digits are full-width but for "1秒毎".
constexpr OptionDesign kOptions[] = {
    {7, u"１文字毎", {120, 480, 1095, 255}},    {6, u"５文字毎", {120, 870, 1575, 255}},
    {5, u"１０文字毎", {120, 1275, 1455, 255}}, {4, u"1秒毎", {120, 1665, 1695, 255}},
    {3, u"２秒毎", {120, 2055, 1455, 375}},     {2, u"４秒毎", {120, 2565, 1335, 375}},
    {1, u"１０秒毎", {120, 3090, 1575, 255}},   {0, u"自動反映しない", {120, 3480, 1695, 375}},
};

// Tab order by index of the option buttons, as designed.
constexpr int kOptionTabOrder[] = {4, 3, 2, 1, 7, 6, 5, 0};

}  // namespace

Form3::Form3(Form1 &form1) : QWidget(&form1, Qt::Dialog), m_form1(form1)
{
    setObjectName(u"Form3"_s);
    setWindowTitle(kSettingsTitle);
    setFixedSize(twipsSize(this, 6525, 5805));

    auto *frame1 = new QGroupBox(u"設定"_s, this);
    frame1->setObjectName(u"Frame1"_s);
    placeInTwips(frame1, {120, 0, 6255, 4935});

    auto *frame3 = new QGroupBox(u"各種設定"_s, frame1);
    frame3->setObjectName(u"Frame3"_s);
    placeInTwips(frame3, {120, 360, 3015, 4455});

    m_check1 = new QCheckBox(u"タブを入れたら自動改行する"_s, frame3);
    m_check1->setObjectName(u"Check1"_s);
    placeLegibly(m_check1, {120, 3600, 2775, 180});

    auto *frame2 = new QGroupBox(u"反映速度"_s, frame1);
    frame2->setObjectName(u"Frame2"_s);
    placeInTwips(frame2, {3240, 360, 2895, 4455});

    m_option = new QButtonGroup(this);
    for (const OptionDesign &design : kOptions) {
        auto *button = new QRadioButton(QString::fromUtf16(design.caption), frame2);
        button->setObjectName(u"Option(%1)"_s.arg(design.index));
        placeLegibly(button, design.rect);
        m_option->addButton(button, design.index);
    }

    QPushButton *command1 = makeButton(this, u"Command1"_s, u"OK"_s, {240, 5280, 2895, 495});
    command1->setDefault(true);
    QPushButton *command2 =
        makeButton(this, u"Command2"_s, u"キャンセル"_s, {3360, 5280, 2895, 495});

    QWidget *previous = frame2;
    setTabOrder(frame1, frame2);
    for (int index : kOptionTabOrder) {
        setTabOrder(previous, m_option->button(index));
        previous = m_option->button(index);
    }
    for (QWidget *next : {static_cast<QWidget *>(frame3), static_cast<QWidget *>(m_check1),
                          static_cast<QWidget *>(command1), static_cast<QWidget *>(command2)}) {
        setTabOrder(previous, next);
        previous = next;
    }

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
    // Pressed again while open: the mode in force was remembered already.
    if (windowTitle() != kSettingsTitle) {
        m_modeInForce = windowTitle();
        bool isIndex = false;
        const int index = m_modeInForce.toInt(&isIndex);
        if (isIndex && m_option->button(index)) {
            m_option->button(index)->setChecked(true);
            iii = index;
        }
    }
    setVisible(true);
    raise();
    activateWindow();
    setWindowTitle(kSettingsTitle);
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
    setWindowTitle(QString::number(iii));
}

void Form3::Command2_Click()
{
    setVisible(false);
    m_form1.setEnabled(true);
    if (windowTitle() == kSettingsTitle && !m_modeInForce.isEmpty())
        setWindowTitle(m_modeInForce);
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

}  // namespace windows
