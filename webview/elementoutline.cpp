#include "webview/elementoutline.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace webview {

namespace {

const QColor kLine(26, 115, 232);

}  // namespace

ElementOutline::ElementOutline(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"elementOutline"_s);
    setAccessibleName(u"選んだ要素の枠"_s);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void ElementOutline::want(int element)
{
    // One the page had no box for (not made yet, or not shown) is brought when it has one.
    m_bring = element != m_shown || m_boxless;
    m_wanted = element;
    if (element < 0) {
        m_shown = -1;
        hideOutline();
        return;
    }
    if (!m_asking)
        askNow();
    else
        m_again = true;
}

void ElementOutline::askNow()
{
    m_asking = true;
    m_again = false;
    emit ask(m_wanted, std::exchange(m_bring, false));
}

void ElementOutline::answered(int element, const QRectF &box, const QString &name)
{
    m_asking = false;
    if (m_wanted != element) {
        if (m_wanted >= 0)
            askNow();
        return;
    }
    m_shown = element;
    m_boxless = name.isEmpty();
    // Wanted again meanwhile, perhaps of a page changed since: an element not there then may be
    // now.
    if (m_boxless && m_again) {
        askNow();
        return;
    }
    if (m_boxless) {
        hideOutline();
        return;
    }
    m_box = box;
    m_name = name;
    show();
    raise();
    update();
}

void ElementOutline::follow()
{
    if (m_shown >= 0 && !m_asking)
        askNow();
}

void ElementOutline::pageChanging()
{
    // A page that hangs never answers; the next one starts afresh.
    m_asking = false;
}

void ElementOutline::clear()
{
    m_shown = m_wanted = -1;
    hideOutline();
}

void ElementOutline::hideOutline()
{
    m_box = {};
    m_name.clear();
    hide();
}

void ElementOutline::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF box = m_box.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.fillRect(m_box, QColor(kLine.red(), kLine.green(), kLine.blue(), 28));
    painter.setPen(QPen(kLine, 1));
    painter.drawRect(box);

    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    painter.setFont(font);
    const QString label =
        u"%1  %2 × %3"_s.arg(m_name).arg(qRound(m_box.width())).arg(qRound(m_box.height()));
    const QFontMetrics metrics(font);
    QRectF tag(0, 0, metrics.horizontalAdvance(label) + 10, metrics.height() + 4);
    // Above the box where there is room, else just inside its top.
    tag.moveTopLeft(
        {std::clamp(m_box.left(), 0.0, std::max(0.0, width() - tag.width())),
         m_box.top() >= tag.height() ? m_box.top() - tag.height() : std::max(0.0, m_box.top())});
    painter.fillRect(tag, kLine);
    painter.setPen(Qt::white);
    painter.drawText(tag, Qt::AlignCenter, label);
}

}  // namespace webview
