#include "webview/webpreviewpane.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QList>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <algorithm>

#include "engine/textfile.h"
#include "platform/process.h"
#include "platform/systemencoding.h"
#include "source/pagewidths.h"
#include "source/stylesheetrules.h"
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

using PageWidth = WebPreviewPane::PageWidth;
const QList<PageWidth> &designedWidths()
{
    static const QList<PageWidth> kWidths{{375, u"スマートフォン (375 px)"_s, true},
                                          {768, u"タブレット (768 px)"_s, true},
                                          {1280, u"ノートPC (1280 px)"_s, false}};
    return kWidths;
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
    m_across = new QScrollBar(Qt::Horizontal, this);
    m_across->setObjectName(u"pageAcross"_s);
    m_across->setAccessibleName(u"ページの横スクロール"_s);
    m_across->hide();
    connect(m_across, &QScrollBar::valueChanged, this, &WebPreviewPane::placeParts);
    m_widthLabel = new QLabel(this);
    m_widthLabel->setObjectName(u"pageWidthLabel"_s);
    m_widthLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_widthLabel->setStyleSheet(
        u"background: rgba(32, 33, 36, 200); color: white; padding: 1px 4px; font-size: 8pt"_s);
    m_widthLabel->hide();
    makeOwnActions();
    connect(m_console, &ConsoleStrip::heightChanged, this, &WebPreviewPane::placeParts);
    connect(m_console, &ConsoleStrip::lineChosen, &pageEvents(), &engine::PageEvents::lineChosen);
    connect(m_view, &QWebEngineView::loadStarted, this, [this] {
        m_session->pageChanged();
        m_watch->restart();
        m_outline->pageChanging();
        m_console->clear();
        // Questions to the page before are never answered.
        m_askingTop = m_topAgain = m_scrolling = false;
        m_scrollWanted = -1;
        cancelCheck();
    });
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        m_watch->allowWhileLoading({});
        // A page a link led to is not the document's.
        m_isPreview = ok && m_view->url().adjusted(QUrl::RemoveFragment) == m_url;
        // The engine may forget the zoom with the page.
        if (m_pageWidth > 0 && !qFuzzyCompare(m_view->zoomFactor(), m_zoom))
            m_view->setZoomFactor(m_zoom);
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
    connect(m_view->page(), &QWebEnginePage::scrollPositionChanged, this, [this] {
        if (m_isPreview && followsScroll() && personScrolling())
            askForTop();
    });
    m_checkPoll.setSingleShot(true);
    m_checkPoll.setInterval(100);
    connect(&m_checkPoll, &QTimer::timeout, this, &WebPreviewPane::askFound);
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
        if (!m_restyles.isEmpty())
            restyleDue();
        if (m_checkDue)
            startCheck();
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
    cancelCheck();
    m_pageText = refresh.text;
    // What a refresh does to the page's scroll is not the person's.
    m_pageInput.invalidate();
    m_server->setPreview(refresh.localPath, refresh.encoding);
    m_url = m_server->previewUrl();
    m_view->settings()->setDefaultTextEncoding(refresh.encoding);
    m_watch->allowWhileLoading(
        std::chrono::milliseconds(QFileInfo(refresh.localPath).size() / 512));
    m_session->refreshed(refresh.text, refresh.file, refresh.encoding);
}

void WebPreviewPane::writing(const Refresh &refresh)
{
    cancelCheck();
    m_pageInput.invalidate();
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

void WebPreviewPane::setUnsaved(const QString &file, const std::optional<QByteArray> &bytes)
{
    m_server->setUnsaved(file, bytes);
}

void WebPreviewPane::restyle(const QString &file, const QString &text)
{
    m_restyles.insert(QDir::cleanPath(QFileInfo(file).absoluteFilePath()), text);
    // After a load or an update under way, which may have read the sheet before this text.
    if (!m_session->isUpdating())
        restyleDue();
}

void WebPreviewPane::restyleDue()
{
    const QHash<QString, QString> due = std::exchange(m_restyles, {});
    for (auto it = due.cbegin(); it != due.cend(); ++it) {
        const QString &file = it.key();
        const auto last = m_sheets.find(file);
        if (last == m_sheets.end()) {
            restyleWhole(file, {it.value(), source::stylesheetRules(it.value())});
            continue;
        }
        const source::SheetRules sheet = source::stylesheetRules(*last, it.value());
        const source::RuleChange change = source::ruleChange(last->rules, sheet.rules);
        // Only what lies between rules changed: the page is as it should be.
        if (change.removed == 0 && change.inserted.isEmpty()) {
            *last = sheet;
            continue;
        }
        // An edit that changes how the rest of the sheet reads touches the rest.
        if (change.removed + change.inserted.size() > kFewestRules) {
            restyleWhole(file, sheet);
            continue;
        }
        const auto call = [](const QString &function, const QJsonArray &arguments) {
            return question(u"%1(...%2)"_s.arg(
                function,
                QString::fromUtf8(QJsonDocument(arguments).toJson(QJsonDocument::Compact))));
        };
        // A key in a rule's declarations gives only its style the new ones, as a script of the
        // page would: the engine restyles what that style reaches, not what the sheet does.
        const QStringView was = last->rules.value(change.first);
        const auto wasDeclared = change.removed == 1 && change.inserted.size() == 1
                                     ? source::declarationsOf(was)
                                     : std::nullopt;
        const auto declared =
            wasDeclared ? source::declarationsOf(change.inserted[0]) : std::nullopt;
        QString script;
        if (declared &&
            was.left(wasDeclared->data() - was.data()) ==
                QStringView(change.inserted[0]).left(declared->data() - change.inserted[0].data()))
            script = call(u"quorvaneRestyleStyle"_s, {file, change.first, declared->toString()});
        else
            script = call(u"quorvaneRestyleRules"_s, {file, change.first, change.removed,
                                                      QJsonArray::fromStringList(change.inserted)});
        *last = sheet;
        ask(script, [this, file, sheet](const QVariant &answer) {
            if (answer.toBool())
                ++m_restyledRules;
            else
                restyleWhole(file, sheet);
        });
    }
}

void WebPreviewPane::restyleWhole(const QString &file, const source::SheetRules &sheet)
{
    m_sheets.insert(file, sheet);
    QJsonArray rules;
    for (const QStringView rule : sheet.rules)
        rules.append(rule.toString());
    const QByteArray arguments =
        QJsonDocument(QJsonArray{file, rules}).toJson(QJsonDocument::Compact);
    ask(question(u"quorvaneRestyle(...%1)"_s.arg(QString::fromUtf8(arguments))),
        [this, file](const QVariant &answer) {
            if (answer.toBool()) {
                ++m_restyledWhole;
                return;
            }
            m_sheets.remove(file);
            usedChanged();
        });
}

void WebPreviewPane::usedChanged(bool unlessLoading)
{
    m_pageInput.invalidate();
    m_session->usedChanged(unlessLoading);
}

void WebPreviewPane::setDocumentFolder(const QString &folder)
{
    m_folder = folder;
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

void WebPreviewPane::checkAccessibility(bool asked)
{
    cancelCheck();
    m_checkAsked = asked;
    // The page is checked once it shows the text.
    if (m_session->isUpdating())
        m_checkDue = true;
    else
        startCheck();
}

void WebPreviewPane::startCheck()
{
    m_checkDue = false;
    if (!m_isPreview) {
        emit pageEvents().accessibilityChecked(
            {}, u"ページを表示していないため、アクセシビリティを検査できません"_s);
        return;
    }
    // axe-core with its Japanese messages, given to the page's world once: a load makes a new
    // world, which has none.
    static const QString kChecker =
        resource(u":/webview/axe.min.js"_s) + u"\naxe.configure({ locale: "_s +
        resource(u":/webview/axe-ja.json"_s) + u", noHtml: true });\n"_s +
        resource(u":/webview/accessibility.js"_s);
    const quint64 check = ++m_check;
    m_checking = true;
    m_checkClock.start();
    ask(u"typeof quorvaneCheckStart === 'function'"_s, [this, check](const QVariant &ready) {
        if (check != m_check)
            return;
        ask((ready.toBool() ? QString() : kChecker) +
                u"\nquorvaneCheckStart(%1)"_s.arg(m_checkAsked ? 0 : kMostElementsUnasked),
            [this, check](const QVariant &rules) {
                if (check != m_check)
                    return;
                if (rules.toInt() < 0) {
                    m_checking = false;
                    emit pageEvents().accessibilityChecked(
                        {},
                        u"ページの要素が %1 を超えるため、アクセシビリティは自動では検査して"
                        u"いません。右クリックメニューの「アクセシビリティを検査」で検査できます"_s
                            .arg(kMostElementsUnasked));
                    return;
                }
                // One rule may hold the page's process for long on a large page, and the page
                // is no hung page for it: colour contrast took about 45 ms for each thousand
                // characters of the 1.9 MB book.
                const qsizetype size = m_pageText ? m_pageText->sizeBound() : 0;
                m_watch->allowWhileChecking(std::chrono::milliseconds(10'000 + size / 8));
                m_checkPoll.start();
            });
    });
}

void WebPreviewPane::askFound()
{
    ask(question(u"quorvaneCheckFound(%1)"_s.arg(kMostFindings)), [this, check = m_check](
                                                                      const QVariant &answer) {
        if (check != m_check)
            return;
        const QVariantMap found = answer.toMap();
        if (found.isEmpty()) {
            m_checkPoll.start();
            return;
        }
        m_checking = false;
        m_watch->allowWhileChecking({});
        m_lastCheck = {m_checkClock.elapsed(), found.value(u"longest"_s).toDouble(),
                       found.value(u"slices"_s).toInt()};
        if (found.contains(u"error"_s)) {
            emit pageEvents().accessibilityChecked(
                {}, u"アクセシビリティを検査できませんでした: %1"_s.arg(
                        found.value(u"error"_s).toString()));
            return;
        }
        QList<engine::Finding> findings;
        for (const QVariant &row : found.value(u"rows"_s).toList()) {
            const QVariantList parts = row.toList();
            engine::Finding finding{parts.value(1).toString(), {}};
            for (const QVariant &element : parts.value(0).toList())
                finding.elements.append(element.toInt());
            findings.append(finding);
        }
        const int count = found.value(u"count"_s).toInt();
        emit pageEvents().accessibilityChecked(
            findings,
            count > findings.size()
                ? u"アクセシビリティの問題は %1 件あり、最初の %2 件を示します"_s.arg(count).arg(
                      findings.size())
                : QString());
    });
}

void WebPreviewPane::cancelCheck()
{
    m_checkDue = false;
    if (!std::exchange(m_checking, false))
        return;
    const quint64 stopped = ++m_check;
    m_checkPoll.stop();
    // The rule under way holds the page until it ends, and the allowance stays till then.
    ask(u"typeof quorvaneCheckStop === 'function' && quorvaneCheckStop()"_s,
        [this, stopped](const QVariant &) {
            if (stopped == m_check)
                m_watch->allowWhileChecking({});
        });
}

void WebPreviewPane::setFindings(const QList<Problem> &findings, const QString &note)
{
    m_console->setFindings(findings, note);
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
    // The scroll that brings the caret's element into view is the program's.
    if (bring)
        m_pageInput.invalidate();
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
    // the outline lies over the page. A chosen width is the page's width in CSS pixels: the page
    // is zoomed to fit the pane, and scrolls across below the least zoom.
    const int strip = m_console->wantedHeight();
    int pageHeight = height() - strip;
    int wide = width();
    if (m_pageWidth > 0) {
        m_zoom = std::clamp(qreal(width()) / m_pageWidth, 0.25, 5.0);
        wide = qRound(m_pageWidth * m_zoom);
        if (!qFuzzyCompare(m_view->zoomFactor(), m_zoom))
            m_view->setZoomFactor(m_zoom);
    }
    const bool across = wide > width();
    m_across->setVisible(across);
    if (across) {
        const int bar = m_across->sizeHint().height();
        pageHeight -= bar;
        m_across->setGeometry(0, pageHeight, width(), bar);
        m_across->setRange(0, wide - width());
        m_across->setPageStep(width());
    }
    m_view->setGeometry(across ? -m_across->value() : 0, 0, wide, pageHeight);
    m_console->setGeometry(0, height() - strip, width(), strip);
    m_outline->setGeometry(m_view->geometry());
    m_outline->raise();
    if (m_pageWidth > 0) {
        QString label = u"%1 px ・ %2%"_s.arg(m_pageWidth).arg(qRound(m_zoom * 100));
        if (std::any_of(designedWidths().cbegin(), designedWidths().cend(),
                        [&](const PageWidth &w) { return w.width == m_pageWidth && w.device; }))
            label += u"\nviewport とタッチ操作は再現していません"_s;
        m_widthLabel->setText(label);
        m_widthLabel->adjustSize();
        m_widthLabel->move(std::max(0, width() - m_widthLabel->width()), 0);
        m_widthLabel->show();
        m_widthLabel->raise();
    } else {
        m_widthLabel->hide();
    }
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
        // A press may be on the scroll bar, and dragging it scrolls until the release.
        m_pageHeld = type != QEvent::MouseButtonRelease;
        m_pageInput.start();
    }
    if (watched == m_watched && type == QEvent::Wheel)
        m_pageInput.start();
    if (watched == m_watched && type == QEvent::KeyPress) {
        static const QList<int> kScrollKeys{Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Space,
                                            Qt::Key_Home,   Qt::Key_End,      Qt::Key_Up,
                                            Qt::Key_Down};
        if (kScrollKeys.contains(static_cast<QKeyEvent *>(event)->key()))
            m_pageInput.start();
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

void WebPreviewPane::makeOwnActions()
{
    m_widthMenu = std::make_unique<QMenu>(u"ページの幅"_s);
    m_widthMenu->setObjectName(u"pageWidthMenu"_s);
    connect(m_widthMenu.get(), &QMenu::aboutToShow, this, [this] {
        m_widthMenu->clear();
        qDeleteAll(m_widthMenu->findChildren<QActionGroup *>(Qt::FindDirectChildrenOnly));
        auto *group = new QActionGroup(m_widthMenu.get());
        for (const PageWidth &width : pageWidths()) {
            QAction *action = m_widthMenu->addAction(width.caption);
            group->addAction(action);
            action->setCheckable(true);
            action->setChecked(width.width == m_pageWidth);
            connect(action, &QAction::triggered, this,
                    [this, w = width.width] { setPageWidth(w); });
        }
    });
    auto *step = new QAction(u"次のページの幅"_s, this);
    step->setObjectName(u"stepPageWidth"_s);
    step->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    step->setShortcutContext(Qt::WindowShortcut);
    connect(step, &QAction::triggered, this, &WebPreviewPane::stepPageWidth);
    addAction(step);
    m_follow = new QAction(u"スクロールを連動"_s, this);
    m_follow->setObjectName(u"followScroll"_s);
    m_follow->setCheckable(true);
    m_follow->setChecked(true);
    m_view->setOwnActions({m_widthMenu->menuAction(), step, m_follow});
}

QList<WebPreviewPane::PageWidth> WebPreviewPane::pageWidths() const
{
    QList<PageWidth> widths = designedWidths();
    widths.prepend({0, u"ペインの幅 (%1 px)"_s.arg(width()), false});
    // The page's own, and those of the stylesheets it links in its folder and they import.
    QList<int> found;
    QStringList read;
    const QString page = m_pageText ? m_pageText->toString() : QString();
    found += source::mediaWidths(page);
    QList<std::pair<QString, int>> due;
    for (const QString &link : source::stylesheetLinks(page))
        due.append({link, 0});
    const QUrl base = QUrl::fromLocalFile(m_folder + u"/"_s);
    while (!due.isEmpty() && !m_folder.isEmpty() && read.size() < 32) {
        const auto [link, depth] = due.takeFirst();
        const QUrl url = base.resolved(QUrl(link));
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (path.isEmpty() || read.contains(path))
            continue;
        read.append(path);
        const engine::ReadText sheet = engine::ReadTextFile(QDir::toNativeSeparators(path));
        if (sheet.error)
            continue;
        found += source::mediaWidths(sheet.text);
        if (depth < 4)
            for (const QString &import : source::cssImports(sheet.text))
                due.append({QFileInfo(path).dir().filePath(import), depth + 1});
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (const int width : found)
        if (std::none_of(widths.cbegin(), widths.cend(),
                         [&](const PageWidth &w) { return w.width == width; }))
            widths.append({width, u"ブレークポイント (%1 px)"_s.arg(width), false});
    std::sort(widths.begin() + 1, widths.end(),
              [](const PageWidth &a, const PageWidth &b) { return a.width < b.width; });
    return widths;
}

void WebPreviewPane::setPageWidth(int width)
{
    if (width == m_pageWidth)
        return;
    m_pageWidth = std::max(0, width);
    m_across->setValue(0);
    if (m_isPreview)
        ask(question(u"quorvaneKeepTopOnResize()"_s), [](const QVariant &) {});
    if (m_pageWidth == 0) {
        m_zoom = 1;
        m_view->setZoomFactor(1);
    }
    placeParts();
    m_outline->follow();
}

void WebPreviewPane::stepPageWidth()
{
    const QList<PageWidth> widths = pageWidths();
    const auto at = std::find_if(widths.cbegin(), widths.cend(),
                                 [&](const PageWidth &w) { return w.width > m_pageWidth; });
    setPageWidth(at == widths.cend() ? 0 : at->width);
}

bool WebPreviewPane::followsScroll() const
{
    return m_follow->isChecked();
}

void WebPreviewPane::setFollowsScroll(bool follows)
{
    m_follow->setChecked(follows);
}

int WebPreviewPane::elementOfLine(const engine::TextSnapshot &text, qsizetype lineStart,
                                  qsizetype lineEnd)
{
    return m_isPreview ? m_session->elementOfLine(text, lineStart, lineEnd) : -1;
}

void WebPreviewPane::scrollToElement(int element)
{
    if (!m_isPreview || !followsScroll() || element < 0)
        return;
    // The scroll this makes is the program's: the page does not follow it back.
    m_pageInput.invalidate();
    m_scrollWanted = element;
    if (!m_scrolling)
        askToScroll();
}

void WebPreviewPane::askToScroll()
{
    m_scrolling = true;
    const int element = std::exchange(m_scrollWanted, -1);
    ask(question(u"quorvaneScrollTo(%1)"_s.arg(element)), [this](const QVariant &) {
        m_scrolling = false;
        if (m_scrollWanted >= 0)
            askToScroll();
    });
}

bool WebPreviewPane::personScrolling() const
{
    // The page scrolls on by itself a little after a wheel's turn.
    return m_pageHeld || (m_pageInput.isValid() && m_pageInput.elapsed() < 1000);
}

void WebPreviewPane::askForTop()
{
    // One question at a time; the page's latest place wins.
    if (std::exchange(m_askingTop, true)) {
        m_topAgain = true;
        return;
    }
    ask(question(u"quorvaneTopElements()"_s), [this](const QVariant &answer) {
        m_askingTop = false;
        QList<int> chain;
        for (const QVariant &index : answer.toList())
            chain.append(index.toInt());
        if (!chain.isEmpty())
            emit pageEvents().pageScrolled(chain);
        if (std::exchange(m_topAgain, false))
            askForTop();
    });
}

}  // namespace webview
