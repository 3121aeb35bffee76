#include "webview/webpreviewpane.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPointer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <algorithm>

#include "platform/process.h"
#include "platform/systemencoding.h"
#include "webview/consolestrip.h"
#include "webview/elementoutline.h"
#include "webview/previewserver.h"
#include "webview/previewview.h"
#include "webview/rendererwatch.h"

using namespace Qt::StringLiterals;

namespace webview {

namespace {

Q_LOGGING_CATEGORY(lcUpdates, "quorvane.preview.updates", QtWarningMsg)

// How many written files are remembered: the one served is nearly always the last, unless a
// large page's write ends while it is asked for.
constexpr qsizetype kFilesKept = 4;

QString resource(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Tells of the page's console messages, its uncaught errors among them. The page's dialogs
// never wait for the person: each is answered at once and told as a message.
class PreviewPage : public QWebEnginePage {
public:
    using Heard = std::function<void(int level, const QString &, int line, const QString &)>;
    PreviewPage(QWebEngineProfile *profile, QObject *parent, Heard heard)
        : QWebEnginePage(profile, parent), m_heard(std::move(heard))
    {
    }

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override
    {
        m_heard(int(level), message, lineNumber, sourceID);
    }
    void javaScriptAlert(const QUrl &, const QString &message) override
    {
        dialog(u"alert「%1」: 閉じたことにしました"_s.arg(message));
    }
    bool javaScriptConfirm(const QUrl &, const QString &message) override
    {
        // The question before the page is left comes this way too, in the engine's own words:
        // answered yes, so that the next refresh loads.
        if (message == QCoreApplication::translate("QWebEnginePage",
                                                   "Are you sure you want to leave this page? "
                                                   "Changes that you made may not be saved.")) {
            dialog(u"ページを離れる確認 (beforeunload): 離れることにしました"_s);
            return true;
        }
        dialog(u"confirm「%1」: キャンセルしたことにしました"_s.arg(message));
        return false;
    }
    bool javaScriptPrompt(const QUrl &, const QString &message, const QString &, QString *) override
    {
        dialog(u"prompt「%1」: 答えなかったことにしました"_s.arg(message));
        return false;
    }

private:
    void dialog(const QString &told) { m_heard(InfoMessageLevel, told, 0, QString()); }

    Heard m_heard;
};

// The program's scripts run in a world of their own: the page's scripts see none of their
// variables, and no change the page makes to its globals reaches them.
constexpr quint32 kOwnWorld = QWebEngineScript::ApplicationWorld;

// How the process that renders the page ended, in Japanese.
QString endedHow(QWebEnginePage::RenderProcessTerminationStatus status, int code)
{
    switch (status) {
    case QWebEnginePage::NormalTerminationStatus:
        return u"終了しました"_s;
    case QWebEnginePage::AbnormalTerminationStatus:
        return u"異常終了しました (終了コード %1)"_s.arg(code);
    case QWebEnginePage::CrashedTerminationStatus:
        return u"クラッシュしました (終了コード %1)"_s.arg(code);
    case QWebEnginePage::KilledTerminationStatus:
        break;
    }
    return u"強制終了されました (メモリー不足など、終了コード %1)"_s.arg(code);
}

// One of the questions of pagelink.js, asked with its arguments.
QString question(const QString &call)
{
    static const QString kScripts = resource(u":/webview/pagelink.js"_s);
    return kScripts + u"\n"_s + call;
}

}  // namespace

WebPreviewPane::WebPreviewPane(QWidget *parent, std::chrono::milliseconds loadTimeout)
    : QWidget(parent)
{
    m_view = new PreviewView(this);
    m_view->setObjectName(u"page"_s);
    m_view->setAccessibleName(u"ページ"_s);
    setFocusProxy(m_view);
    connect(m_view, &PreviewView::drawnWidgetChanged, this, &WebPreviewPane::watchDrawnWidget);
    // A profile of its own, kept in memory only: the preview stores nothing in the user's home.
    auto *profile = new QWebEngineProfile(this);
    // What brings the page up to date in place, in every page of the profile, in the program's
    // world; set on the profile, so that no page is made before the view is in place.
    QWebEngineScript patcher;
    patcher.setName(u"quorvane-patch"_s);
    patcher.setSourceCode(resource(u":/webview/morphdom-umd.min.js"_s) + u"\n"_s +
                          resource(u":/webview/pagepatch.js"_s));
    patcher.setWorldId(kOwnWorld);
    patcher.setInjectionPoint(QWebEngineScript::DocumentCreation);
    patcher.setRunsOnSubFrames(false);
    profile->scripts()->insert(patcher);

    m_server = new PreviewServer(this);
    m_view->setPage(new PreviewPage(
        profile, this, [this](int level, const QString &message, int line, const QString &source) {
            consoleMessage(level, message, line, source);
        }));
    // A page's stylesheets and fonts from the web load, as in a browser.
    m_view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    // A file: page, such as one typed into a link, reads no other file.
    m_view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    m_view->settings()->setDefaultTextEncoding(platform::systemEncoding());
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(loadTimeout);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        // An update in place may still come through: what the page shows is not known.
        m_index.clear();
        loadEnded();
    });
    // Which text a load shows: the file served is one of those written.
    connect(m_server, &PreviewServer::previewServed, this, [this](std::optional<quint64> file) {
        const auto it = std::find_if(m_files.crbegin(), m_files.crend(),
                                     [&](const auto &kept) { return file == kept.first; });
        m_served = it != m_files.crend() ? it->second : Written();
    });
    // Only a load of the preview ends the one in flight: not a message shown in its place, whose
    // load a refresh may cut short.
    connect(m_view->page(), &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo &info) {
                if (info.url().adjusted(QUrl::RemoveFragment) != m_url)
                    return;
                // A process that holds its page starts no other load: what it runs is the text
                // asked for last before.
                if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                    m_loaded = m_requested;
                else if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
                    readPage();
                else
                    loadEnded();
            });
    // A page whose script holds its process is ended, and says so; so does one that ended.
    m_watch = new RendererWatch(*m_view->page(), this);
    connect(m_watch, &RendererWatch::held, this, [this](qint64 pid) {
        m_stopping = true;
        platform::endProcess(pid);
    });
    connect(m_view->page(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
                m_index.clear();
                m_gate.reset();
                m_timeout.stop();
                const bool held = std::exchange(m_stopping, false);
                // A text refreshed since the one that held its process loads at once; the one
                // that held it is not loaded again until the next refresh.
                if (held && m_loaded < m_refreshed) {
                    startLoad();
                    return;
                }
                m_stopped = held;
                if (held)
                    showMessage(u"ページのスクリプトを止めました"_s,
                                u"スクリプトが %1 秒を超えて応答しなかったため、このページの表示を"
                                u"止めました。ソースを直すか「今すぐ反映」を押すと、読み込み直し"
                                u"ます。"_s.arg(RendererWatch::kHeld.count() / 1000));
                else
                    showMessage(u"ページを表示できなくなりました"_s,
                                u"ページを表示するプロセスが%1。次の反映で読み込み直します。"_s.arg(
                                    endedHow(status, code)));
            });

    m_console = new ConsoleStrip(this);
    m_outline = new ElementOutline(this);
    connect(m_console, &ConsoleStrip::heightChanged, this, &WebPreviewPane::placeParts);
    connect(m_console, &ConsoleStrip::lineChosen, this, [this](int line, int column) {
        if (m_events.lineChosen)
            m_events.lineChosen(line, column);
    });
    connect(m_view, &QWebEngineView::loadStarted, this, [this] {
        ++m_pageNumber;
        m_index.clear();
        m_watch->restart();
        m_outline->pageChanging();
        m_settle.stop();
        m_console->clear();
    });
    // Typing loads the page again and again: its elements are read once it stays a moment.
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettle);
    connect(&m_settle, &QTimer::timeout, this, [this] { pageLoaded(m_loadedOk); });
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        m_watch->allowWhileLoading({});
        m_loadedOk = ok;
        m_settle.start();
    });
    // The box moves with the page.
    connect(m_outline, &ElementOutline::ask, this, &WebPreviewPane::askForBox);
    connect(m_view->page(), &QWebEnginePage::scrollPositionChanged, m_outline,
            &ElementOutline::follow);
    connect(m_view->page(), &QWebEnginePage::contentsSizeChanged, m_outline,
            &ElementOutline::follow);
    placeParts();
}

WebPreviewPane::~WebPreviewPane()
{
    // The page's answers still due are of no page now: one would load the view anew.
    ++m_pageNumber;
    // The page must go before the profile it was made on.
    delete m_view->page();
}

void WebPreviewPane::written(const std::optional<engine::TextSnapshot> &text,
                             std::optional<quint64> file)
{
    m_writtenText = text;
    m_writtenFile = file;
}

void WebPreviewPane::navigate(const QString &localPath, const QString &encoding)
{
    m_latest = {std::exchange(m_writtenText, std::nullopt), encoding};
    if (const std::optional<quint64> file = std::exchange(m_writtenFile, std::nullopt)) {
        if (m_files.size() >= kFilesKept)
            m_files.removeFirst();
        m_files.append({*file, m_latest});
    }
    m_server->setPreview(localPath, encoding);
    m_url = m_server->previewUrl();
    m_view->settings()->setDefaultTextEncoding(encoding);
    // Every refresh loads, a page stopped for holding its process too.
    ++m_refreshed;
    m_stopped = false;
    m_watch->allowWhileLoading(std::chrono::milliseconds(QFileInfo(localPath).size() / 512));
    if (m_gate.refresh())
        startLoad();
}

void WebPreviewPane::startLoad()
{
    // A page stopped is not loaded again by what was due: nothing is in flight.
    if (m_stopped) {
        m_gate.reset();
        return;
    }
    m_requested = m_refreshed;
    m_timeout.start();
    const std::optional<source::Reload> why = startPatch();
    if (!why)
        return;
    ++m_updates.loads[size_t(*why)];
    qCDebug(lcUpdates) << "loaded:" << source::reloadName(*why);
    // The browser takes a load of the page it shows as a reload, which keeps the reader's place.
    m_view->load(m_url);
}

std::optional<source::Reload> WebPreviewPane::startPatch()
{
    using source::Reload;
    if (!m_latest.text)
        return Reload::Encoding;
    if (!m_index.isReady())
        return Reload::NotShown;
    if (m_latest.encoding != m_shownEncoding)
        return Reload::Encoding;
    QString text = m_latest.text->toString();
    auto plan = m_index.plan(text);
    if (const auto *why = std::get_if<Reload>(&plan))
        return *why;
    const source::PagePatch &patch = std::get<source::PagePatch>(plan);
    if (patch.unchanged) {
        ++m_updates.inPlace;
        QMetaObject::invokeMethod(
            this,
            [this] {
                emit updated(true);
                loadEnded();
            },
            Qt::QueuedConnection);
        return std::nullopt;
    }
    // Another encoding may turn a character into another: only ASCII is sure to stay.
    const auto ascii = [](const QString &s) {
        return std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() < 0x80; });
    };
    if (m_latest.encoding.compare(u"UTF-8"_s, Qt::CaseInsensitive) != 0 &&
        !(ascii(patch.old) && ascii(patch.now) && ascii(patch.tail)))
        return Reload::Encoding;
    const QJsonObject asked{
        {u"style"_s, patch.style},
        {u"parent"_s, patch.parent},
        {u"before"_s, patch.before},
        {u"after"_s, patch.after},
        {u"parentName"_s, patch.parentName},
        {u"beforeName"_s, patch.beforeName},
        {u"afterName"_s, patch.afterName},
        {u"toBodyEnd"_s, patch.toBodyEnd},
        {u"old"_s, patch.old},
        {u"now"_s, patch.now},
        {u"tail"_s, patch.tail},
        {u"names"_s, QJsonArray::fromStringList(patch.names)},
        {u"formatting"_s, patch.formatting},
    };
    qCDebug(lcUpdates) << "in place:" << patch.parentName << patch.beforeName << patch.afterName
                       << patch.old.size() << "->" << patch.now.size();
    ask(u"quorvanePatch(%1)"_s.arg(
            QString::fromUtf8(QJsonDocument(asked).toJson(QJsonDocument::Compact))),
        [this, patch = std::get<source::PagePatch>(std::move(plan)),
         text = std::move(text)](const QVariant &answer) {
            // A page that hangs never answers; its timeout loads it again.
            if (m_timeout.isActive())
                patched(patch, text, answer);
            else
                m_index.clear();
        });
    return std::nullopt;
}

void WebPreviewPane::patched(const source::PagePatch &patch, const QString &text,
                             const QVariant &answer)
{
    const QVariantList done =
        answer.typeId() == QMetaType::QVariantList ? answer.toList() : QVariantList();
    if (done.size() < 2) {
        const QString why = answer.toString();
        const source::Reload reason = why == u"head"_s      ? source::Reload::Head
                                      : why == u"context"_s ? source::Reload::Element
                                                            : source::Reload::Page;
        ++m_updates.loads[size_t(reason)];
        qCDebug(lcUpdates) << "loaded:" << source::reloadName(reason) << why;
        m_view->load(m_url);
        return;
    }
    QStringList added;
    for (qsizetype i = 2; i < done.size(); ++i)
        added.append(done[i].toString());
    m_index.applied(patch, text, done[0].toInt(), done[1].toInt(), added);
    ++m_updates.inPlace;
    // Elements came and went: the link to the source reads them again once typing pauses.
    m_outline->pageChanging();
    m_settle.start();
    emit updated(true);
    loadEnded();
}

void WebPreviewPane::readPage()
{
    const Written shown = m_served;
    if (!shown.text) {
        emit updated(false);
        loadEnded();
        return;
    }
    ask(question(u"quorvaneFindElements()"_s), [this, shown](const QVariant &names) {
        m_index.setText(shown.text->toString());
        m_index.setElements(names.toString().split(u' ', Qt::SkipEmptyParts));
        m_shownEncoding = shown.encoding;
        emit updated(false);
        loadEnded();
    });
}

void WebPreviewPane::ask(const QString &script,
                         std::function<void(const QVariant &answer)> answered)
{
    // The one place a late answer is dropped: one for a page no longer shown, or for a pane
    // gone, would act on what is there now.
    QPointer<WebPreviewPane> self(this);
    m_view->page()->runJavaScript(
        script, kOwnWorld,
        [self, number = m_pageNumber, answered = std::move(answered)](const QVariant &answer) {
            if (self && number == self->m_pageNumber)
                answered(answer);
        });
}

void WebPreviewPane::loadEnded()
{
    m_timeout.stop();
    if (m_gate.finished())
        startLoad();
}

void WebPreviewPane::setDocumentFolder(const QString &folder)
{
    // The page's addresses resolve elsewhere now: it is loaded again.
    m_index.clear();
    m_server->setDocumentFolder(folder);
}

void WebPreviewPane::setWarning(const QString &warning, int line)
{
    m_console->setWarning(warning, line);
}

void WebPreviewPane::setProblems(const QList<Problem> &problems, const QString &note)
{
    m_console->setProblems(problems, note);
}

void WebPreviewPane::setNotice(const QString &notice)
{
    m_console->setNotice(notice);
}

void WebPreviewPane::setPageEvents(PageEvents events)
{
    m_events = std::move(events);
}

void WebPreviewPane::pageLoaded(bool ok)
{
    const auto found = [this](const QStringList &names) {
        if (m_events.elementsFound)
            m_events.elementsFound(names);
    };
    // A page a link led to is not the document's.
    m_isPreview = ok && m_view->url().adjusted(QUrl::RemoveFragment) == m_url;
    if (!m_isPreview) {
        m_outline->clear();
        found({});
        return;
    }
    ask(question(u"quorvaneFindElements()"_s), [found](const QVariant &names) {
        found(names.toString().split(u' ', Qt::SkipEmptyParts));
    });
}

void WebPreviewPane::showElement(int element)
{
    m_outline->want(element);
}

int WebPreviewPane::outlinedElement() const
{
    return m_outline->shownElement();
}

void WebPreviewPane::askForBox(int element, bool bring)
{
    // A page that hangs never answers; the next load starts afresh.
    ask(question(u"quorvaneBoxOf(%1, %2)"_s.arg(element).arg(bring ? u"true"_s : u"false"_s)),
        [this, element](const QVariant &answer) {
            const QVariantList box = answer.toList();
            const qreal zoom = m_view->zoomFactor();
            m_outline->answered(element,
                                box.size() == 5
                                    ? QRectF(box[0].toDouble() * zoom, box[1].toDouble() * zoom,
                                             box[2].toDouble() * zoom, box[3].toDouble() * zoom)
                                    : QRectF(),
                                box.size() == 5 ? box[4].toString() : QString());
        });
}

void WebPreviewPane::pick(QPointF at)
{
    if (!m_isPreview)
        return;
    const qreal zoom = m_view->zoomFactor();
    ask(question(u"quorvaneElementsAt(%1, %2)"_s.arg(at.x() / zoom).arg(at.y() / zoom)),
        [this](const QVariant &answer) {
            QList<int> chain;
            for (const QVariant &index : answer.toList())
                chain.append(index.toInt());
            if (!chain.isEmpty() && m_events.elementPicked)
                m_events.elementPicked(chain);
        });
}

void WebPreviewPane::consoleMessage(int level, const QString &message, int line,
                                    const QString &source)
{
    using Page = QWebEnginePage;
    const ConsoleStrip::Level shown = level == Page::ErrorMessageLevel ? ConsoleStrip::Level::Error
                                      : level == Page::WarningMessageLevel
                                          ? ConsoleStrip::Level::Warning
                                          : ConsoleStrip::Level::Info;
    const QUrl from(source);
    // The preview's own lines are the editor's; another file is named.
    QString file;
    if (from.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment) != m_url)
        file = from.fileName().isEmpty() ? source : from.fileName();
    m_console->add(shown, message, line, file);
}

void WebPreviewPane::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeParts();
    m_outline->follow();
}

void WebPreviewPane::placeParts()
{
    // The strip takes the foot of the pane and the page the rest, as a browser's console does;
    // the outline lies over the page.
    const int strip = m_console->wantedHeight();
    m_view->setGeometry(0, 0, width(), height() - strip);
    m_console->setGeometry(0, height() - strip, width(), strip);
    m_outline->setGeometry(m_view->geometry());
    m_outline->raise();
}

void WebPreviewPane::watchDrawnWidget()
{
    placeParts();
    // Ctrl+click is heard where the page is drawn, before the page hears it.
    QWidget *drawn = m_view->focusProxy();
    if (drawn && drawn != m_watched) {
        m_watched = drawn;
        drawn->installEventFilter(this);
    }
}

bool WebPreviewPane::eventFilter(QObject *watched, QEvent *event)
{
    // Ctrl+click asks where the element is written; the page never hears of it.
    const auto type = event->type();
    if (watched == m_watched &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
         type == QEvent::MouseButtonDblClick)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (type != QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
            mouse->modifiers() & Qt::ControlModifier) {
            m_picking = true;
            if (type == QEvent::MouseButtonPress)
                pick(mouse->position());
            return true;
        }
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
            std::exchange(m_picking, false))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void WebPreviewPane::showFailure(const engine::FileError &error)
{
    m_gate.reset();
    m_timeout.stop();
    showMessage(u"プレビューを更新できません"_s, error.message());
}

void WebPreviewPane::showMessage(const QString &title, const QString &text)
{
    const QString body = text.toHtmlEscaped().replace(u'\n', u"<br>"_s);
    m_view->setHtml(
        u"<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
        u"<title>%1</title></head>"
        u"<body style=\"font-family: sans-serif; margin: 1.5em; color: #333\">"
        u"<h3 style=\"color: #b00020\">%1</h3>"
        u"<p>%2</p><p>編集中の内容はそのまま残っています。</p></body></html>"_s.arg(
            title.toHtmlEscaped(), body));
}

}  // namespace webview
