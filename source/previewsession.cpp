#include "source/previewsession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace source {

namespace {

Q_LOGGING_CATEGORY(lcUpdates, "quorvane.preview.updates", QtWarningMsg)

// How many written files are remembered: the one served is nearly always the last, unless a
// large page's write ends while it is asked for.
constexpr qsizetype kFilesKept = 4;

bool isAscii(const QString &s)
{
    return std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// Whether UTF-8 holds s as it is: a surrogate alone is written as its reference.
bool isWhole(const QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (!s[i].isSurrogate())
            continue;
        if (!s[i].isHighSurrogate() || i + 1 == s.size() || !s[i + 1].isLowSurrogate())
            return false;
        ++i;
    }
    return true;
}

QString patchScript(const PagePatch &patch)
{
    const QJsonObject asked{
        {u"style"_s, patch.style},
        {u"parent"_s, patch.parent},
        {u"before"_s, patch.before},
        {u"after"_s, patch.after},
        {u"parentName"_s, patch.parentName},
        {u"beforeName"_s, patch.beforeName},
        {u"afterName"_s, patch.afterName},
        {u"toBodyEnd"_s, patch.toBodyEnd},
        {u"closedBy"_s, patch.closedBy},
        {u"old"_s, patch.old},
        {u"now"_s, patch.now},
        {u"tail"_s, patch.tail},
        {u"names"_s, QJsonArray::fromStringList(patch.names)},
        {u"formatting"_s, patch.formatting},
    };
    return u"quorvanePatch(%1)"_s.arg(
        QString::fromUtf8(QJsonDocument(asked).toJson(QJsonDocument::Compact)));
}

}  // namespace

PreviewSession::PreviewSession(std::chrono::milliseconds loadTimeout, QObject *parent)
    : QObject(parent)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(loadTimeout);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        // An update in place may still come through: what the page shows is not known.
        m_index.clear();
        ended();
    });
}

void PreviewSession::refreshed(const std::optional<engine::TextSnapshot> &text,
                               std::optional<quint64> file, const QString &encoding)
{
    m_latest = {text, encoding, m_refreshed + 1};
    if (file) {
        if (m_files.size() >= kFilesKept)
            m_files.removeFirst();
        m_files.append({*file, m_latest});
    }
    // Every refresh loads, a page stopped for holding its process too.
    ++m_refreshed;
    m_stopped = false;
    if (m_gate.refresh())
        startLoad();
}

void PreviewSession::writing(const engine::TextSnapshot &text, const QString &encoding)
{
    // A text due already waits its turn, and then it is the file's.
    if (m_gate.isBusy() || m_stopped)
        return;
    m_latest = {text, encoding, m_refreshed + 1};
    m_gate.refresh();
    m_timeout.start();
    if (const std::optional<Reload> why = startPatch(true)) {
        qCDebug(lcUpdates) << "ahead of the file, refused:" << reloadName(*why);
        m_timeout.stop();
        m_gate.reset();
    }
}

void PreviewSession::served(std::optional<quint64> file)
{
    // Which text a load shows: the file served is one of those written.
    const auto it = std::find_if(m_files.crbegin(), m_files.crend(),
                                 [&](const auto &kept) { return file == kept.first; });
    m_served = it != m_files.crend() ? it->second : Written();
}

void PreviewSession::loadStarted()
{
    // A process that holds its page starts no other load: what it runs is the text asked for
    // last before.
    m_loaded = m_requested;
}

void PreviewSession::loadSucceeded()
{
    if (!m_served.text) {
        emit updated(false);
        ended();
        return;
    }
    Question question;
    question.shown = m_served;
    emit elementsWanted(ask(std::move(question)));
}

void PreviewSession::loadFailed()
{
    ended();
}

void PreviewSession::pageChanged()
{
    ++m_page;
    m_index.clear();
    // What was asked of the page before is answered for nothing now.
    m_questions.clear();
}

void PreviewSession::holding()
{
    m_stopping = true;
}

void PreviewSession::processEnded(const QString &how)
{
    m_index.clear();
    m_gate.reset();
    m_timeout.stop();
    const bool held = std::exchange(m_stopping, false);
    // A text refreshed since the one that held its process loads at once; the one that held it
    // is not loaded again until the next refresh.
    if (held && m_loaded < m_refreshed) {
        startLoad();
        return;
    }
    m_stopped = held;
    if (held)
        emit messageWanted(
            u"ページのスクリプトを止めました"_s,
            u"スクリプトが %1 秒を超えて応答しなかったため、このページの表示を止めま"
            u"した。ソースを直すか「今すぐ反映」を押すと、読み込み直します。"_s.arg(kHeldSeconds));
    else
        emit messageWanted(
            u"ページを表示できなくなりました"_s,
            u"ページを表示するプロセスが%1。次の反映で読み込み直します。"_s.arg(how));
}

void PreviewSession::failureShown()
{
    m_gate.reset();
    m_timeout.stop();
}

void PreviewSession::folderChanged()
{
    // The page's addresses resolve elsewhere now: it is loaded again, after a load under way too,
    // which would read the page's elements anew.
    m_index.clear();
    m_loadNext = Reload::NotShown;
}

quint64 PreviewSession::ask(Question question)
{
    question.page = m_page;
    m_questions[++m_lastQuestion] = std::move(question);
    return m_lastQuestion;
}

void PreviewSession::answered(quint64 number, const QVariant &answer)
{
    // The one place a late answer is dropped: one for a page no longer shown would act on
    // what is there now.
    const auto it = m_questions.find(number);
    if (it == m_questions.end())
        return;
    const Question asked = std::move(it->second);
    m_questions.erase(it);
    if (asked.page != m_page)
        return;
    if (asked.patch)
        patched(asked, answer);
    else
        read(asked, answer);
}

void PreviewSession::startLoad()
{
    // A page stopped is not loaded again by what was due: nothing is in flight.
    if (m_stopped) {
        m_gate.reset();
        return;
    }
    m_requested = m_refreshed;
    m_timeout.start();
    if (const std::optional<Reload> why = std::exchange(m_loadNext, std::nullopt)) {
        load(*why);
        return;
    }
    if (const std::optional<Reload> why = startPatch())
        load(*why);
}

void PreviewSession::usedChanged(bool unlessLoading)
{
    // A load under way asks for every file again.
    if (unlessLoading && m_loading)
        return;
    m_loadNext = Reload::Used;
    m_stopped = false;
    if (m_gate.refresh())
        startLoad();
}

void PreviewSession::load(Reload why)
{
    m_loading = true;
    ++m_updates.loads[size_t(why)];
    qCDebug(lcUpdates) << "loaded:" << reloadName(why);
    // The browser takes a load of the page it shows as a reload, which keeps the reader's place.
    emit loadWanted();
}

std::optional<Reload> PreviewSession::startPatch(bool ahead)
{
    const bool aheadShown = std::exchange(m_aheadShown, false);
    if (!m_latest.text)
        return Reload::Encoding;
    if (!m_index.isReady())
        return Reload::NotShown;
    if (m_latest.encoding != m_shownEncoding)
        return Reload::Encoding;
    QString text = m_latest.text->toString();
    // Nothing new to show: the file of a text shown ahead of it, or a refresh the load that
    // ended meanwhile showed already (its scripts ran for it).
    if (!ahead && text == m_index.text() && (aheadShown || m_latest.refresh <= m_loadedRefresh)) {
        qCDebug(lcUpdates) << "shown already";
        alreadyShown();
        return std::nullopt;
    }
    auto plan = m_index.plan(text);
    if (const auto *why = std::get_if<Reload>(&plan))
        return *why;
    PagePatch &patch = std::get<PagePatch>(plan);
    if (patch.unchanged) {
        ++m_updates.inPlace;
        alreadyShown();
        return std::nullopt;
    }
    // Another encoding may turn a character into another: only ASCII is sure to stay.
    if (m_latest.encoding.compare(u"UTF-8"_s, Qt::CaseInsensitive) != 0 &&
        !(isAscii(patch.old) && isAscii(patch.now) && isAscii(patch.tail)))
        return Reload::Encoding;
    // Ahead of the file, only what it will hold as it is.
    if (ahead && !(isWhole(patch.now) && isWhole(patch.tail)))
        return Reload::Encoding;
    qCDebug(lcUpdates) << "in place:" << patch.parentName << patch.beforeName << patch.afterName
                       << patch.old.size() << "->" << patch.now.size();
    const QString script = patchScript(patch);
    Question question;
    question.patch = std::move(patch);
    question.text = std::move(text);
    question.ahead = ahead;
    emit scriptWanted(ask(std::move(question)), script);
    return std::nullopt;
}

void PreviewSession::alreadyShown()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit updated(true);
            ended();
        },
        Qt::QueuedConnection);
}

void PreviewSession::patched(const Question &asked, const QVariant &answer)
{
    // A page that hangs never answers in time; its timeout loads it again.
    if (!m_timeout.isActive()) {
        m_index.clear();
        return;
    }
    const QVariantList done =
        answer.typeId() == QMetaType::QVariantList ? answer.toList() : QVariantList();
    if (done.size() < 2) {
        const QString why = answer.toString();
        load(why == u"head"_s      ? Reload::Head
             : why == u"context"_s ? Reload::Element
                                   : Reload::Page);
        return;
    }
    QStringList added;
    for (qsizetype i = 2; i < done.size(); ++i)
        added.append(done[i].toString());
    m_index.applied(*asked.patch, asked.text, done[0].toInt(), done[1].toInt(), added);
    m_aheadShown = asked.ahead;
    ++m_updates.inPlace;
    emit elementsChanged();
    emit updated(true);
    ended();
}

void PreviewSession::read(const Question &asked, const QVariant &answer)
{
    m_index.setText(asked.shown.text->toString());
    m_loadedRefresh = asked.shown.refresh;
    m_index.setElements(answer.toString().split(u' ', Qt::SkipEmptyParts));
    m_shownEncoding = asked.shown.encoding;
    emit updated(false);
    ended();
}

void PreviewSession::ended()
{
    m_loading = false;
    m_timeout.stop();
    if (m_gate.finished())
        startLoad();
}

const QString &PreviewSession::aligned(const engine::TextSnapshot &text)
{
    if (!(text == m_asked)) {
        m_asked = text;
        m_askedText = text.toString();
    }
    return m_askedText;
}

int PreviewSession::elementOf(const engine::TextSnapshot &text, const QList<qsizetype> &starts)
{
    return m_index.isReady() ? m_index.elementOf(aligned(text), starts) : -1;
}

std::optional<qsizetype> PreviewSession::startOf(const engine::TextSnapshot &text,
                                                 const QList<int> &elements)
{
    return m_index.isReady() ? m_index.startOf(aligned(text), elements) : std::nullopt;
}

int PreviewSession::elementOfLine(const engine::TextSnapshot &text, qsizetype lineStart,
                                  qsizetype lineEnd)
{
    return m_index.isReady() ? m_index.elementOfLine(aligned(text), lineStart, lineEnd) : -1;
}

}  // namespace source
