#include "webview/consolestrip.h"

#include <QListWidget>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace webview {

namespace {

constexpr int kLevelRole = Qt::UserRole;
constexpr int kLineRole = Qt::UserRole + 1;
constexpr int kCountRole = Qt::UserRole + 2;
constexpr int kTextRole = Qt::UserRole + 4;
constexpr int kColumnRole = Qt::UserRole + 5;
// Rows the open list shows before it scrolls; the page keeps the rest of the pane.
constexpr int kRowsShown = 5;
// Messages listed at most; the rest are only counted.
constexpr qsizetype kMostEntries = 500;

QString levelName(ConsoleStrip::Level level)
{
    switch (level) {
    case ConsoleStrip::Level::Info:
        return u"情報"_s;
    case ConsoleStrip::Level::Warning:
        return u"警告"_s;
    case ConsoleStrip::Level::Problem:
        return u"HTML の問題"_s;
    case ConsoleStrip::Level::Finding:
        return u"アクセシビリティ"_s;
    case ConsoleStrip::Level::Error:
        break;
    }
    return u"エラー"_s;
}

}  // namespace

ConsoleStrip::ConsoleStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"console"_s);
    setAccessibleName(u"ページのメッセージ"_s);
    setAutoFillBackground(true);
    m_summary = new QToolButton(this);
    m_summary->setObjectName(u"consoleSummary"_s);
    m_summary->setAccessibleName(u"ページのメッセージの数"_s);
    m_summary->setCheckable(true);
    m_summary->setAutoRaise(true);
    m_summary->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_summary->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_summary->setToolTip(u"ページのメッセージを表示または隠します"_s);
    m_list = new QListWidget(this);
    m_list->setObjectName(u"consoleList"_s);
    m_list->setAccessibleName(u"ページのメッセージの一覧"_s);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setIconSize(QSize(16, 16));
    m_list->setUniformItemSizes(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVisible(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_summary);
    layout->addWidget(m_list);
    connect(m_summary, &QToolButton::toggled, this, [this](bool open) {
        m_list->setVisible(open);
        refresh();
    });
    connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        if (const int line = item->data(kLineRole).toInt(); line > 0)
            emit lineChosen(line, item->data(kColumnRole).toInt());
    });
    connect(m_list, &QListWidget::itemClicked, m_list, &QListWidget::itemActivated);
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &ConsoleStrip::refresh);
    refresh();
}

QListWidgetItem *ConsoleStrip::entry(Level level, const QString &text, int line,
                                     const QString &file, int column)
{
    QString where = file;
    if (line > 0)
        where += (where.isEmpty() ? u""_s : u" "_s) + u"%1 行"_s.arg(line);
    if (line > 0 && column > 0)
        where += u" %1 桁"_s.arg(column);
    // The message first, where it comes from after it: a narrow strip cuts the end away, and the
    // whole shows on hover.
    const QString message = QString(text).replace(u'\n', u' ');
    auto *item = new QListWidgetItem(where.isEmpty() ? message : u"%1  (%2)"_s.arg(message, where));
    item->setData(kTextRole, item->text());
    item->setToolTip(
        u"%1: %2%3"_s.arg(levelName(level), text, where.isEmpty() ? QString() : u"\n"_s + where));
    item->setData(Qt::AccessibleTextRole, u"%1: %2"_s.arg(levelName(level), item->text()));
    item->setData(kLevelRole, int(level));
    // Only the preview's own lines are the editor's.
    item->setData(kLineRole, file.isEmpty() ? line : 0);
    item->setData(kColumnRole, column);
    item->setData(kCountRole, 1);
    item->setIcon(style()->standardIcon(level == Level::Error ? QStyle::SP_MessageBoxCritical
                                        : level == Level::Warning || level == Level::Problem ||
                                                level == Level::Finding
                                            ? QStyle::SP_MessageBoxWarning
                                            : QStyle::SP_MessageBoxInformation));
    return item;
}

void ConsoleStrip::add(Level level, const QString &text, int line, const QString &file)
{
    const QString key = u"%1\n%2\n%3\n%4"_s.arg(int(level)).arg(line).arg(file, text);
    if (QListWidgetItem *item = m_byKey.value(key)) {
        const int count = item->data(kCountRole).toInt() + 1;
        item->setData(kCountRole, count);
        item->setText(item->data(kTextRole).toString() + u"  ×%1"_s.arg(count));
    } else if (m_byKey.size() < kMostEntries) {
        item = entry(level, text, line, file);
        m_byKey.insert(key, item);
        m_list->insertItem(m_list->count() - int(m_findings.items.size()), item);
    } else {
        ++m_untold;
    }
    // A page that logs in a loop is told of once a turn, not once a message.
    m_refresh.start();
}

void ConsoleStrip::clear()
{
    for (int i = m_list->count() - 1; i >= 0; --i)
        if (m_list->item(i) != m_warning && m_list->item(i) != m_notice &&
            !m_problems.items.contains(m_list->item(i)) &&
            !m_findings.items.contains(m_list->item(i)))
            delete m_list->takeItem(i);
    m_byKey.clear();
    m_untold = 0;
    refresh();
}

void ConsoleStrip::setWarning(const QString &text, int line)
{
    delete m_warning;
    m_warning = nullptr;
    if (!text.isEmpty()) {
        m_warning = entry(Level::Warning, text, line, {});
        m_list->insertItem(0, m_warning);
    }
    refresh();
}

void ConsoleStrip::setProblems(const QList<engine::PreviewPane::Problem> &problems,
                               const QString &note)
{
    setGroup(m_problems, Level::Problem, problems, note, (m_warning ? 1 : 0) + (m_notice ? 1 : 0));
}

void ConsoleStrip::setFindings(const QList<engine::PreviewPane::Problem> &findings,
                               const QString &note)
{
    setGroup(m_findings, Level::Finding, findings, note, -1);
}

void ConsoleStrip::setGroup(Group &group, Level level,
                            const QList<engine::PreviewPane::Problem> &rows, const QString &note,
                            int at)
{
    qDeleteAll(group.items);
    group.items.clear();
    if (at < 0)
        at = m_list->count();
    if (!note.isEmpty())
        group.items.append(entry(Level::Info, note, 0, {}));
    for (const engine::PreviewPane::Problem &row :
         rows.first(std::min<qsizetype>(rows.size(), kMostEntries)))
        group.items.append(entry(level, row.text, row.line, {}, row.column));
    group.untold = int(rows.size() - std::min<qsizetype>(rows.size(), kMostEntries));
    for (QListWidgetItem *item : std::as_const(group.items))
        m_list->insertItem(at++, item);
    refresh();
}

void ConsoleStrip::setNotice(const QString &text)
{
    delete m_notice;
    m_notice = nullptr;
    if (!text.isEmpty()) {
        m_notice = entry(Level::Warning, text, 0, {});
        m_list->insertItem(0, m_notice);
    }
    refresh();
}

void ConsoleStrip::refresh()
{
    int errors = 0, warnings = 0, problems = 0, findings = 0, others = 0;
    QString first;
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem *item = m_list->item(i);
        const int count = item->data(kCountRole).toInt();
        switch (Level(item->data(kLevelRole).toInt())) {
        case Level::Error:
            errors += count;
            if (first.isEmpty())
                first = item->data(kTextRole).toString();
            break;
        case Level::Warning:
            warnings += count;
            break;
        case Level::Problem:
            problems += count;
            break;
        case Level::Finding:
            findings += count;
            break;
        case Level::Info:
            others += count;
            break;
        }
    }
    QStringList counts;
    if (const int untold = m_untold + m_problems.untold + m_findings.untold)
        counts.append(u"ほか %1 件は省略"_s.arg(untold));
    if (errors)
        counts.append(u"エラー %1 件"_s.arg(errors));
    if (warnings)
        counts.append(u"警告 %1 件"_s.arg(warnings));
    if (problems)
        counts.append(u"HTML の問題 %1 件"_s.arg(problems));
    if (others)
        counts.append(u"メッセージ %1 件"_s.arg(others));
    if (findings)
        counts.append(u"アクセシビリティ %1 件"_s.arg(findings));
    // Closed, the first error is worth a glance.
    QString summary = counts.join(u"、"_s);
    if (!m_summary->isChecked() && !first.isEmpty())
        summary += u" — "_s + first;
    m_summary->setText(
        m_summary->fontMetrics().elidedText(summary, Qt::ElideRight, std::max(80, width() - 40)));
    m_summary->setArrowType(m_summary->isChecked() ? Qt::DownArrow : Qt::RightArrow);
    m_summary->setToolTip(summary);
    const bool any = m_list->count() > 0;
    if (!any && m_summary->isChecked())
        m_summary->setChecked(false);
    setVisible(any);
    if (m_summary->isChecked())
        m_list->setFixedHeight((std::max(fontMetrics().height(), 16) + 4) *
                                   std::min(m_list->count(), kRowsShown) +
                               2 * m_list->frameWidth());
    emit heightChanged();
}

void ConsoleStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A turn later: the first resize comes while the strip is being shown, and placing it anew
    // from there leaves its row laid out at no height.
    if (event->oldSize().width() != width())
        m_refresh.start();
}

int ConsoleStrip::wantedHeight() const
{
    if (m_list->count() == 0)
        return 0;
    return m_summary->sizeHint().height() + (m_summary->isChecked() ? m_list->height() : 0);
}

}  // namespace webview
