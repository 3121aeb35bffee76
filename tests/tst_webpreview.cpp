#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>

#include "form1.h"
#include "previewfile.h"
#include "sourceedit.h"
#include "textfile.h"
#include "webpreviewpane.h"

using namespace Qt::StringLiterals;

namespace {

QString pageText(QWebEngineView &view)
{
    QString text;
    bool done = false;
    view.page()->runJavaScript(u"document.body ? document.body.innerText : ''"_s,
                               [&](const QVariant &result) {
                                   text = result.toString();
                                   done = true;
                               });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        return u"<no answer>"_s;
    return text;
}

}  // namespace

class WebPreviewTest : public QObject {
    Q_OBJECT

private slots:
    void typedPageIsShownWithJapanese();
    void failedRefreshIsShownInThePane();
};

void WebPreviewTest::typedPageIsShownWithJapanese()
{
    QTemporaryDir dir;
    auto pane = std::make_unique<platform::WebPreviewPane>();
    platform::WebPreviewPane &view = *pane;
    engine::PreviewFile preview(view, QDir::toNativeSeparators(dir.path()),
                                dir.filePath(u"private"_s));
    windows::Form1 form1(preview, pane.release());
    form1.show();
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(20000));
    QCOMPARE(view.url(), QUrl::fromLocalFile(dir.filePath(u"一時.html"_s)));

    // The page declares no charset; its Japanese must still come out right.
    form1.Text1().setText(u"<h1>日本語の見出し</h1>"_s);
    QTRY_COMPARE_WITH_TIMEOUT(pageText(view), u"日本語の見出し"_s, 20000);

    // Every refresh reloads the page; the reader keeps their place in it.
    form1.Text1().setText(u"<div style=\"height: 5000px\">tall</div>"_s);
    QTRY_COMPARE_WITH_TIMEOUT(pageText(view), u"tall"_s, 20000);
    view.page()->runJavaScript(u"window.scrollTo(0, 1200);"_s);
    QTRY_COMPARE_WITH_TIMEOUT(view.page()->scrollPosition().y(), 1200.0, 20000);
    form1.Text1().moveCaretToEnd();
    QTest::keyClicks(&form1.Text1(), u"<p>end</p>"_s);
    QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains(u"end"_s), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(view.page()->scrollPosition().y(), 1200.0, 20000);
}

void WebPreviewTest::failedRefreshIsShownInThePane()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(u"plain.txt"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString blocked = QDir::toNativeSeparators(dir.filePath(u"plain.txt/x"_s));
    auto pane = std::make_unique<platform::WebPreviewPane>();
    platform::WebPreviewPane &view = *pane;
    engine::PreviewFile preview(view, blocked, blocked);
    windows::Form1 form1(preview, pane.release());
    form1.show();
    QTRY_VERIFY_WITH_TIMEOUT(pageText(view).contains(u"プレビューを更新できません"_s), 20000);
    QVERIFY(pageText(view).contains(u"plain.txt"_s));
}

QTEST_MAIN(WebPreviewTest)
#include "tst_webpreview.moc"
