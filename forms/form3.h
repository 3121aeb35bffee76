#pragma once

#include <QWidget>
#include <optional>

#include "engine/refreshmode.h"

class QButtonGroup;
class QCheckBox;
class QPushButton;

namespace forms {

class Form1;

// The settings dialog. It holds the refresh mode in force, which its title shows ("設定" while
// it is open), and its check box is the switch for the line break after ">".
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
    // The mode in force, shown in the title.
    void setMode(engine::RefreshMode mode);
    engine::RefreshMode mode() const { return m_mode; }
    // The mode edits count in: none while the dialog is open for settings.
    std::optional<engine::RefreshMode> countingMode() const;

public slots:
    void Option_Click(int index);
    void Command1_Click();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showMode();

    Form1 &m_form1;
    QCheckBox *m_check1 = nullptr;
    QButtonGroup *m_option = nullptr;
    engine::RefreshMode m_mode = engine::RefreshMode::EveryEdit;
    bool m_open = false;  // for settings: counting is suspended
};

}  // namespace forms
