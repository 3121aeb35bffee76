#include "webpreviewpane.h"

#include <QDir>
#include <QWebEngineSettings>

#include "textcodec.h"

using namespace Qt::StringLiterals;

namespace platform {

WebPreviewPane::WebPreviewPane(QWidget *parent) : QWebEngineView(parent)
{
    // Pages without a charset declaration are read in the encoding the preview file is written in.
    settings()->setDefaultTextEncoding(encodingName());
    connect(this, &QWebEngineView::loadFinished, this, &WebPreviewPane::restoreScroll);
}

void WebPreviewPane::navigate(const QString &localPath)
{
    const QUrl target = QUrl::fromLocalFile(QDir::fromNativeSeparators(localPath));
    m_scrollToRestore.reset();
    if (url() == target)
        m_scrollToRestore = page()->scrollPosition();
    load(target);
}

void WebPreviewPane::restoreScroll(bool ok)
{
    if (!ok || !m_scrollToRestore)
        return;
    const QPointF at = *m_scrollToRestore;
    m_scrollToRestore.reset();
    if (!at.isNull())
        page()->runJavaScript(u"window.scrollTo(%1, %2);"_s.arg(at.x()).arg(at.y()));
}

void WebPreviewPane::showFailure(const FileError &error)
{
    m_scrollToRestore.reset();
    const QString body = error.message().toHtmlEscaped().replace(u'\n', u"<br>"_s);
    setHtml(
        u"<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
        u"<title>プレビューを更新できません</title></head>"
        u"<body style=\"font-family: sans-serif; margin: 1.5em; color: #333\">"
        u"<h3 style=\"color: #b00020\">プレビューを更新できません</h3>"
        u"<p>%1</p><p>編集中の内容はそのまま残っています。</p></body></html>"_s.arg(body));
}

}  // namespace platform
