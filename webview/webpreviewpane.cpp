#include "webview/webpreviewpane.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QMenu>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <algorithm>

#include "platform/systemencoding.h"
#include "webview/previewserver.h"

using namespace Qt::StringLiterals;

namespace webview {

namespace {

// The engine ships no Japanese for its menu. What is not named here (new windows, downloads,
// saving the page, its source, the inspector) has nothing to go to in a preview.
const QList<std::pair<QWebEnginePage::WebAction, QString>> &japaneseActions()
{
    using Page = QWebEnginePage;
    static const QList<std::pair<Page::WebAction, QString>> kActions{
        {Page::Back, u"戻る"_s},
        {Page::Forward, u"進む"_s},
        {Page::Stop, u"中止"_s},
        {Page::Reload, u"再読み込み"_s},
        {Page::ReloadAndBypassCache, u"キャッシュを使わずに再読み込み"_s},
        {Page::Undo, u"元に戻す"_s},
        {Page::Redo, u"やり直し"_s},
        {Page::Cut, u"切り取り"_s},
        {Page::Copy, u"コピー"_s},
        {Page::Paste, u"貼り付け"_s},
        {Page::PasteAndMatchStyle, u"書式なしで貼り付け"_s},
        {Page::SelectAll, u"すべて選択"_s},
        {Page::Unselect, u"選択を解除"_s},
        {Page::OpenLinkInThisWindow, u"リンクを開く"_s},
        {Page::CopyLinkToClipboard, u"リンクのアドレスをコピー"_s},
        {Page::CopyImageToClipboard, u"画像をコピー"_s},
        {Page::CopyImageUrlToClipboard, u"画像のアドレスをコピー"_s},
        {Page::CopyMediaUrlToClipboard, u"メディアのアドレスをコピー"_s},
        {Page::ToggleMediaPlayPause, u"再生 / 一時停止"_s},
        {Page::ToggleMediaMute, u"ミュート"_s},
        {Page::ToggleMediaLoop, u"ループ再生"_s},
        {Page::ToggleMediaControls, u"コントロールを表示"_s},
        {Page::ExitFullScreen, u"全画面表示を終了"_s},
    };
    return kActions;
}

}  // namespace

WebPreviewPane::WebPreviewPane(QWidget *parent, std::chrono::milliseconds loadTimeout)
    : QWebEngineView(parent)
{
    // A profile of its own, kept in memory only: the preview stores nothing in the user's home.
    auto *profile = new QWebEngineProfile(this);
    m_server = new PreviewServer(this);
    setPage(new QWebEnginePage(profile, this));
    // A page's stylesheets and fonts from the web load, as in a browser.
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    // A file: page, such as one typed into a link, reads no other file.
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings()->setDefaultTextEncoding(platform::systemEncoding());

    m_timeout.setSingleShot(true);
    m_timeout.setInterval(loadTimeout);
    connect(&m_timeout, &QTimer::timeout, this, &WebPreviewPane::loadEnded);
    connect(this, &QWebEngineView::loadFinished, this, &WebPreviewPane::loadEnded);
}

WebPreviewPane::~WebPreviewPane()
{
    // The page must go before the profile it was made on.
    delete page();
}

void WebPreviewPane::navigate(const QString &localPath, const QString &encoding)
{
    m_server->setPreview(localPath, encoding);
    m_url = m_server->previewUrl();
    settings()->setDefaultTextEncoding(encoding);
    if (m_gate.refresh())
        startLoad();
}

void WebPreviewPane::startLoad()
{
    // The browser takes a load of the page it shows as a reload, which keeps the reader's place.
    load(m_url);
    m_timeout.start();
}

void WebPreviewPane::loadEnded()
{
    m_timeout.stop();
    if (m_gate.finished())
        startLoad();
}

void WebPreviewPane::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    if (!menu)
        return;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        const auto &known = japaneseActions();
        const auto it = std::find_if(known.cbegin(), known.cend(), [&](const auto &entry) {
            return page()->action(entry.first) == action;
        });
        if (it == known.cend())
            menu->removeAction(action);
        else
            action->setText(it->second);
    }
    // No separator left at either end or twice in a row.
    bool afterEntry = false;
    QAction *pending = nullptr;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator()) {
            afterEntry = true;
            pending = nullptr;
        } else if (!afterEntry || pending) {
            menu->removeAction(action);
        } else {
            pending = action;
        }
    }
    if (pending)
        menu->removeAction(pending);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void WebPreviewPane::setDocumentFolder(const QString &folder)
{
    m_server->setDocumentFolder(folder);
}

void WebPreviewPane::showFailure(const engine::FileError &error)
{
    m_gate.reset();
    m_timeout.stop();
    const QString body = error.message().toHtmlEscaped().replace(u'\n', u"<br>"_s);
    setHtml(
        u"<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
        u"<title>プレビューを更新できません</title></head>"
        u"<body style=\"font-family: sans-serif; margin: 1.5em; color: #333\">"
        u"<h3 style=\"color: #b00020\">プレビューを更新できません</h3>"
        u"<p>%1</p><p>編集中の内容はそのまま残っています。</p></body></html>"_s.arg(body));
}

}  // namespace webview
