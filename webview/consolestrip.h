#pragma once

#include <QHash>
#include <QTimer>
#include <QWidget>

#include "engine/previewpane.h"

class QListWidget;
class QListWidgetItem;
class QToolButton;

namespace webview {

// The page's messages, at the foot of the preview: hidden while there are none, else a line
// that counts them and opens into the list. A message repeated is counted, not listed again.
class ConsoleStrip : public QWidget {
    Q_OBJECT

public:
    enum class Level { Info, Warning, Error, Problem, Finding };

    explicit ConsoleStrip(QWidget *parent = nullptr);

    // A message of the page's; file is empty for the preview itself, whose line can be chosen.
    void add(Level level, const QString &text, int line, const QString &file = {});
    // The messages go; the warning stays.
    void clear();
    // One of the program's own about the preview, first in the list until replaced; line 0 for
    // none.
    void setWarning(const QString &text, int line);

    // The document's problems as HTML, after the program's own rows and before the page's
    // messages, until the next; note first among them, empty for none. They stay while pages
    // load.
    void setProblems(const QList<engine::PreviewPane::Problem> &problems, const QString &note);
    // What the accessibility check found, last in the list, the same way.
    void setFindings(const QList<engine::PreviewPane::Problem> &findings, const QString &note);

    // One of the program's own about itself, first in the list until replaced, whatever page
    // is loaded; empty for none.
    void setNotice(const QString &text);

    // The height it wants at the width it has: 0 while hidden.
    int wantedHeight() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

signals:
    // A row was chosen whose place is the editor's: column 0 for the line's start.
    void lineChosen(int line, int column);
    void heightChanged();

private:
    QListWidgetItem *entry(Level level, const QString &text, int line, const QString &file,
                           int column = 0);
    void refresh();
    // Rows of the program's own that stay while pages load, replaced together.
    struct Group {
        QList<QListWidgetItem *> items;
        int untold = 0;
    };
    void setGroup(Group &group, Level level, const QList<engine::PreviewPane::Problem> &rows,
                  const QString &note, int at);

    QToolButton *m_summary = nullptr;
    QListWidget *m_list = nullptr;
    QListWidgetItem *m_warning = nullptr;
    QListWidgetItem *m_notice = nullptr;
    Group m_problems;
    Group m_findings;
    QHash<QString, QListWidgetItem *> m_byKey;  // the page's messages, by what tells them apart
    int m_untold = 0;
    QTimer m_refresh;
};

}  // namespace webview
