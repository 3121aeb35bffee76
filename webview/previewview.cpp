#include "webview/previewview.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QWebEnginePage>
#include <algorithm>

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

PreviewView::PreviewView(QWidget *parent) : QWebEngineView(parent) {}

void PreviewView::contextMenuEvent(QContextMenuEvent *event)
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
    if (!menu->isEmpty() && !m_own.isEmpty())
        menu->addSeparator();
    menu->addActions(m_own);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void PreviewView::childEvent(QChildEvent *event)
{
    QWebEngineView::childEvent(event);
    if (event->added())
        QMetaObject::invokeMethod(this, &PreviewView::drawnWidgetChanged, Qt::QueuedConnection);
}

}  // namespace webview
