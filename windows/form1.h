#pragma once

#include <QWidget>

#include "refreshpolicy.h"

class QPushButton;
class QTimer;

namespace engine {
class PreviewFile;
}

namespace windows {

class Form2;
class Form3;
class SourceEdit;

// The main window: the HTML source on the left, its preview on the right, four buttons above.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // previewWidget is the preview pane's widget, placed as WebBrowser1; the pane behind it is
    // the one preview writes for.
    Form1(engine::PreviewFile &preview, QWidget *previewWidget, QWidget *parent = nullptr);
    ~Form1() override;
    Q_DISABLE_COPY_MOVE(Form1)

    SourceEdit &Text1() const { return *m_text1; }
    QTimer &Timer1() const { return *m_timer1; }
    Form3 &form3() const { return *m_form3; }
    // Nothing until the file dialog is first shown.
    Form2 *form2() const { return m_form2; }
    engine::RefreshPolicy &policy() { return m_policy; }
    const QString &previewPath() const;

    // The document opened or saved last, at path in the encoding it is kept in: the preview shows
    // it from its folder, and saving writes that encoding again.
    void setDocument(const QString &path, const QString &encoding);
    const QString &documentEncoding() const;

    // The settings dialog's OK: a new timer interval (0 stops it; nothing leaves it as it is),
    // and counting starts afresh.
    void applyMode(std::optional<int> timerInterval);

public slots:
    void Form_Load();
    void Form_Resize();
    void Text1_Change();
    void Timer1_Timer();
    void Command1_Click();
    void cmd_Click();
    void cmdsave_Click();
    void Command2_Click();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void AutoLineBreak(const QString &text);

    engine::PreviewFile &m_preview;
    engine::RefreshPolicy m_policy;
    SourceEdit *m_text1 = nullptr;
    QWidget *m_webBrowser1 = nullptr;
    QPushButton *m_cmdsave = nullptr;
    QPushButton *m_cmd = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QTimer *m_timer1 = nullptr;
    Form3 *m_form3 = nullptr;
    Form2 *m_form2 = nullptr;
};

}  // namespace windows
