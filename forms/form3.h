#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QPushButton;

namespace forms {

class Form1;

// The settings dialog. Its title is the refresh mode the main window reads on every edit, and
// its check box the switch for the line break after ">".
class Form3 : public QWidget {
    Q_OBJECT

public:
    explicit Form3(Form1 &form1);
    ~Form3() override = default;
    Q_DISABLE_COPY_MOVE(Form3)

    // The index of the option button clicked last.
    int iii = 0;

    // Check1 on; a grayed box does not count.
    bool lineBreakOn() const;

    // Shows the dialog with the mode in force selected; the title reads "設定" while it is open.
    void openForSettings();

public slots:
    void Option_Click(int index);
    void Command1_Click();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Form1 &m_form1;
    QCheckBox *m_check1 = nullptr;
    QButtonGroup *m_option = nullptr;
    // What the title said before the dialog was opened, given back on cancel.
    QString m_modeInForce;
};

}  // namespace forms
