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
}

void WebPreviewPane::navigate(const QString &localPath)
{
    // The browser takes a load of the page it shows as a reload, which keeps the reader's place.
    load(QUrl::fromLocalFile(QDir::fromNativeSeparators(localPath)));
}

void WebPreviewPane::showFailure(const FileError &error)
{
    const QString body = error.message().toHtmlEscaped().replace(u'\n', u"<br>"_s);
    setHtml(
        u"<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
        u"<title>プレビューを更新できません</title></head>"
        u"<body style=\"font-family: sans-serif; margin: 1.5em; color: #333\">"
        u"<h3 style=\"color: #b00020\">プレビューを更新できません</h3>"
        u"<p>%1</p><p>編集中の内容はそのまま残っています。</p></body></html>"_s.arg(body));
}

}  // namespace platform
