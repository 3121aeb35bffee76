#pragma once

#include <QRectF>
#include <QWidget>

namespace webview {

// The outline of one element of the page, drawn over the view as an inspector draws it: the
// page's own document never holds it, so its scripts and stylesheets cannot see it.
class ElementOutline : public QWidget {
    Q_OBJECT

public:
    explicit ElementOutline(QWidget *parent = nullptr);

    // In this widget's coordinates; an empty name hides it.
    void showAt(const QRectF &box, const QString &name);
    void hideOutline();
    const QRectF &box() const { return m_box; }
    const QString &name() const { return m_name; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF m_box;
    QString m_name;
};

}  // namespace webview
