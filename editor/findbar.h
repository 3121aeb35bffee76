#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>

#include "engine/background.h"
#include "source/colour.h"
#include "source/search.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace editor {

class EditorView;

// Find and replace, in a bar at the foot of the source box: every match marked, the search
// wrapping round. A large page is searched on a thread of its own, so that typing, in the bar or
// in the page, never waits for it.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(EditorView &view);
    ~FindBar() override;
    Q_DISABLE_COPY_MOVE(FindBar)

    // Shows the bar, with the replace row or without, the selection as what to find.
    void open(bool withReplace);
    void close();

    void findNext();
    void findPrevious();
    void replaceOne();
    void replaceAll();

    const QList<source::Match> &matches() const { return m_matches; }
    // Marks the matches that are in view.
    void markShown();

signals:
    void searched();  // the matches are those of the text as it stands

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    source::SearchPattern pattern() const;
    void patternChanged();
    void textChanged();
    void search();
    void searchNow();
    // Opens the bar and brings the matches up to the text; whether there are any.
    bool searchedAsItStands();
    void found(quint64 of, const std::variant<QList<source::Match>, QString> &result);
    void select(qsizetype match);
    qsizetype currentMatch() const;
    // The selection, in the text's positions, as the matches are.
    source::TextRange selection() const;
    void showStatus();

    EditorView &m_view;
    QLineEdit *m_findText = nullptr;
    QLineEdit *m_replaceText = nullptr;
    QPushButton *m_findNext = nullptr;
    QPushButton *m_findPrevious = nullptr;
    QPushButton *m_replaceOne = nullptr;
    QPushButton *m_replaceAll = nullptr;
    QCheckBox *m_matchCase = nullptr;
    QCheckBox *m_regularExpression = nullptr;
    QLabel *m_status = nullptr;
    QToolButton *m_close = nullptr;
    QTimer m_due;
    QList<source::Match> m_matches;
    QString m_error;
    // The matches are of the text as it stood after m_searched changes; m_changes counts them,
    // from one before there is any search.
    quint64 m_changes = 1, m_searched = 0;
    bool m_marked = false;          // the view shows matches
    bool m_jump = false;            // to the first match from m_from when the search is done
    qsizetype m_from = 0;           // in the text's positions
    engine::Background m_searcher;  // last, so that it is gone first: it waits for the search
};

}  // namespace editor
