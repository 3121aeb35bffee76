#include "webview/webpreviewpane.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
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

static_assert(RendererWatch::kHeld == std::chrono::seconds(source::PreviewSession::kHeldSeconds));

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
    m_server = new PreviewServer(this);
    makePage();
    m_session = new source::PreviewSession(loadTimeout, this);
    followSession();
    tellSession();

    m_console = new ConsoleStrip(this);
    m_outline = new ElementOutline(this);
    connect(m_console, &ConsoleStrip::heightChanged, this, &WebPreviewPane::placeParts);
    connect(m_console, &ConsoleStrip::lineChosen, &pageEvents(), &engine::PageEvents::lineChosen);
    connect(m_view, &QWebEngineView::loadStarted, this, [this] {
        m_session->pageChanged();
        m_watch->restart();
        m_outline->pageChanging();
        m_console->clear();
    });
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        m_watch->allowWhileLoading({});
        // A page a link led to is not the document's.
        m_isPreview = ok && m_view->url().adjusted(QUrl::RemoveFragment) == m_url;
        if (!m_isPreview) {
            m_outline->clear();
            emit pageEvents().elementsFound();
        }
    });
    // The box moves with the page.
    connect(m_outline, &ElementOutline::ask, this, &WebPreviewPane::askForBox);
    connect(m_view->page(), &QWebEnginePage::scrollPositionChanged, m_outline,
            &ElementOutline::follow);
    connect(m_view->page(), &QWebEnginePage::contentsSizeChanged, m_outline,
            &ElementOutline::follow);
    placeParts();
}

void WebPreviewPane::makePage()
{
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

    m_view->setPage(new PreviewPage(
        profile, this, [this](int level, const QString &message, int line, const QString &source) {
            consoleMessage(level, message, line, source);
        }));
    // A page's stylesheets and fonts from the web load, as in a browser.
    m_view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    // A file: page, such as one typed into a link, reads no other file.
    m_view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    m_view->settings()->setDefaultTextEncoding(platform::systemEncoding());
}

void WebPreviewPane::followSession()
{
    connect(m_session, &source::PreviewSession::loadWanted, this, [this] { m_view->load(m_url); });
    connect(m_session, &source::PreviewSession::scriptWanted, this,
            [this](quint64 number, const QString &script) {
                ask(script, [this, number](const QVariant &answer) {
                    m_session->answered(number, answer);
                });
            });
    connect(m_session, &source::PreviewSession::elementsWanted, this, [this](quint64 number) {
        ask(question(u"quorvaneFindElements()"_s),
            [this, number](const QVariant &names) { m_session->answered(number, names); });
    });
    connect(m_session, &source::PreviewSession::messageWanted, this, &WebPreviewPane::showMessage);
    connect(m_session, &source::PreviewSession::updated, this, &WebPreviewPane::updated);
    // The session knows the elements of each text it shows: the link to the source asks it.
    connect(m_session, &source::PreviewSession::updated, this, [this] {
        if (m_isPreview)
            emit pageEvents().elementsFound();
    });
    connect(m_session, &source::PreviewSession::elementsChanged, this,
            [this] { m_outline->pageChanging(); });
    connect(m_server, &PreviewServer::previewServed, m_session, &source::PreviewSession::served);
}

// What the page did, as the session hears it.
void WebPreviewPane::tellSession()
{
    // Only a load of the preview ends the one in flight: not a message shown in its place, whose
    // load a refresh may cut short.
    connect(m_view->page(), &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo &info) {
                if (info.url().adjusted(QUrl::RemoveFragment) != m_url)
                    return;
                if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                    m_session->loadStarted();
                else if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
                    m_session->loadSucceeded();
                else
                    m_session->loadFailed();
            });
    // A page whose script holds its process is ended, and says so; so does one that ended.
    m_watch = new RendererWatch(*m_view->page(), this);
    connect(m_watch, &RendererWatch::held, this, [this](qint64 pid) {
        m_session->holding();
        platform::endProcess(pid);
    });
    connect(m_view->page(), &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
                m_session->processEnded(endedHow(status, code));
            });
}

WebPreviewPane::~WebPreviewPane()
{
    // The page's answers still due are of no page now: one would load the view anew.
    m_session->pageChanged();
    // The page must go before the profile it was made on.
    delete m_view->page();
}

void WebPreviewPane::navigate(const Refresh &refresh)
{
    m_server->setPreview(refresh.localPath, refresh.encoding);
    m_url = m_server->previewUrl();
    m_view->settings()->setDefaultTextEncoding(refresh.encoding);
    m_watch->allowWhileLoading(
        std::chrono::milliseconds(QFileInfo(refresh.localPath).size() / 512));
    m_session->refreshed(refresh.text, refresh.file, refresh.encoding);
}

void WebPreviewPane::writing(const Refresh &refresh)
{
    if (m_isPreview && refresh.text)
        m_session->writing(*refresh.text, refresh.encoding);
}

void WebPreviewPane::ask(const QString &script,
                         std::function<void(const QVariant &answer)> answered)
{
    // The one place a late answer is dropped: one for a page no longer shown, or for a pane
    // gone, would act on what is there now.
    QPointer<WebPreviewPane> self(this);
    m_view->page()->runJavaScript(
        script, kOwnWorld,
        [self, page = m_session->page(), answered = std::move(answered)](const QVariant &answer) {
            if (self && page == self->m_session->page())
                answered(answer);
        });
}

void WebPreviewPane::setDocumentFolder(const QString &folder)
{
    m_session->folderChanged();
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

void WebPreviewPane::showElement(int element)
{
    m_outline->want(element);
}

int WebPreviewPane::elementOf(const engine::TextSnapshot &text, const QList<qsizetype> &starts)
{
    return m_isPreview ? m_session->elementOf(text, starts) : -1;
}

std::optional<qsizetype> WebPreviewPane::startOf(const engine::TextSnapshot &text,
                                                 const QList<int> &elements)
{
    return m_isPreview ? m_session->startOf(text, elements) : std::nullopt;
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
            if (!chain.isEmpty())
                emit pageEvents().elementPicked(chain);
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
    m_session->failureShown();
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
