#pragma once

#include <QList>
#include <QWidget>

#include "platform/folders.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace forms {

class Form1;

// The program's own open-and-save window: a drive list, a folder list, the HTML files of the
// folder and a name box.
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(Form1 &form1);
    ~Form2() override = default;
    Q_DISABLE_COPY_MOVE(Form2)

    // The folder list's folder, in native separators.
    const QString &dirPath() const { return m_dirPath; }
    // Makes folder the current one; on failure says why and keeps the last good folder.
    bool setDirPath(const QString &folder);
    // The file list's selected name, without folder; empty when none.
    QString fileName() const;

    static QString namePrompt();

public slots:
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void Command1_Click();
    // Opens the file chosen as a document of its own.
    void File1_OpenAnother();
    void Command2_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The file chosen, into the document in hand or as a document of its own.
    void openChosen(bool another);
    void fillDir1(const QStringList &subfolders);
    void fillFile1();
    void selectDriveOf(const QString &folder);
    void warn(const QString &text);
    void warnFolder(const QString &folder, const platform::OsError &error);

    Form1 &m_form1;
    QComboBox *m_drive1 = nullptr;
    QListWidget *m_dir1 = nullptr;
    QListWidget *m_file1 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QList<platform::Volume> m_volumes;
    QString m_dirPath;
};

}  // namespace forms
