#pragma once

#include <QRectF>
#include <QWidget>

namespace webview {

// The outline of one element of the page, drawn over the view as an inspector draws it: the
// page's own document never holds it, so its scripts and stylesheets cannot see it. It asks the
// page where the element is, one question at a time, the latest element wanted winning.
class ElementOutline : public QWidget {
    Q_OBJECT

public:
    explicit ElementOutline(QWidget *parent = nullptr);

    // The element to outline, as the page numbers it; -1 for none. It is brought into view when
    // it is another than the one shown.
    void want(int element);
    // The page's answer for element: its box in this widget's coordinates and its name, or no
    // name when the page shows no box for it.
    void answered(int element, const QRectF &box, const QString &name);
    // The page scrolled or changed size: the box shown is asked for again.
    void follow();
    // Another page is loading: no question is out any more.
    void pageChanging();
    // Nothing outlined or wanted.
    void clear();

    // The element outlined; -1 for none.
    int shownElement() const { return m_shown; }
    const QRectF &box() const { return m_box; }
    const QString &name() const { return m_name; }

signals:
    // Where is element now? bring: scroll it into view first.
    void ask(int element, bool bring);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void askNow();
    void hideOutline();

    QRectF m_box;
    QString m_name;
    int m_wanted = -1;
    int m_shown = -1;
    bool m_asking = false;
    bool m_bring = false;
    bool m_boxless = false;  // the page had no box for the element shown
    bool m_again = false;    // wanted again while a question was out
};

}  // namespace webview
