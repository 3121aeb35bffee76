#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QFileSystemWatcher>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWheelEvent>
#include <numeric>

#include "app/japanese.h"
#include "editor/sourcedocument.h"
#include "editor/sourceedit.h"
#include "engine/textfile.h"
#include "platform/process.h"
#include "source/pageformat.h"
#include "source/pagepatch.h"
#include "tests/fixture.h"
#include "tests/pages.h"
#include "webview/consolestrip.h"
#include "webview/elementoutline.h"
#include "webview/previewview.h"

using testsupport::readAll;
using testsupport::writeAll;

namespace {

// The answer may come after the wait has given up, so it goes where it outlives the call.
QVariant evaluate(QWebEngineView &view, const QString &script)
{
    const auto answer = std::make_shared<std::optional<QVariant>>();
    view.page()->runJavaScript(script, [answer](const QVariant &result) { *answer = result; });
    (void)QTest::qWaitFor([&] { return answer->has_value(); }, 5000);
    return answer->value_or(u"<no answer>"_s);
}

QString pageText(QWebEngineView &view)
{
    return evaluate(view, u"document.body ? document.body.innerText : ''"_s).toString();
}

// Where the page shown first differs from what the browser's parser makes of text; empty when
// it is the same, node for node.
QString differenceFrom(QWebEngineView &view, const QString &text)
{
    static const QString kCompare =
        uR"(
        ((text) => {
          const want = new DOMParser().parseFromString(text, 'text/html');
          const diff = (a, b, path) => {
            if (a.nodeType !== b.nodeType || a.nodeName !== b.nodeName)
              return path + ': ' + a.nodeName + ' / ' + b.nodeName;
            if (a.nodeType !== Node.ELEMENT_NODE)
              return a.nodeValue === b.nodeValue ? '' :
                path + ': ' + JSON.stringify(a.nodeValue) + ' / ' + JSON.stringify(b.nodeValue);
            if (a.attributes.length !== b.attributes.length || [...a.attributes].some(
                x => b.getAttributeNS(x.namespaceURI, x.localName) !== x.value))
              return path + ': attributes';
            const ac = a.childNodes, bc = b.childNodes;
            for (let i = 0; i < Math.max(ac.length, bc.length); ++i) {
              if (!ac[i] || !bc[i]) return path + ': ' + ac.length + ' / ' + bc.length + ' nodes';
              const d = diff(ac[i], bc[i], path + '/' + ac[i].nodeName + '[' + i + ']');
              if (d) return d;
            }
            return '';
          };
          return diff(document.documentElement, want.documentElement, 'html') ||
            (document.compatMode === want.compatMode ? '' : 'mode');
        }))"_s;
    const QString argument = QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson());
    return evaluate(view, kCompare + u"("_s + argument + u"[0])"_s).toString();
}

}  // namespace

class WebPreviewTest : public QObject, public testsupport::Fixture {
    Q_OBJECT

    // A load that takes longer than this is given up on; the slow-load test waits for it.
    static constexpr std::chrono::milliseconds kLoadTimeout{1500};

private slots:
    // Before the first view, as the program does it.
    void initTestCase() { QVERIFY(app::useJapanese(*qApp)); }

    void init()
    {
        start(Pane::Web, {}, kLoadTimeout);
        QSignalSpy loaded(&view->web(), &QWebEngineView::loadFinished);
        QVERIFY(loaded.wait(10000));
        QVERIFY2(view->web().url().path().endsWith(previewFile()),
                 qPrintable(view->web().url().toString()));
    }

    void cleanup() { stop(); }

    // The engine's menu in Japanese, without what does nothing here; the engine's locale too.
    void contextMenuIsJapanese()
    {
        form1->Text1().setText(u"<a href=\"#x\" style=\"font-size: 80px\">リンク</a>"_s);
        QTRY_COMPARE_WITH_TIMEOUT(pageText(view->web()), u"リンク"_s, 10000);
        QCOMPARE(evaluate(view->web(), u"navigator.language"_s).toString(), u"ja"_s);
        QMenu *menu = nullptr;
        for (const QPoint at : {QPoint(30, 40), QPoint(200, 300)}) {
            QTest::mouseClick(form1->windowHandle(), Qt::RightButton, {},
                              view->mapTo(form1.get(), at));
            QTRY_VERIFY_WITH_TIMEOUT((menu = view->findChild<QMenu *>()), 10000);
            QStringList texts;
            for (QAction *action : menu->actions())
                if (!action->isSeparator())
                    texts.append(action->text());
            QVERIFY2(
                texts.contains(at.x() == 30 ? u"リンクのアドレスをコピー"_s : u"再読み込み"_s) &&
                    !texts.join(QString()).contains(QRegularExpression(u"[A-Za-z]"_s)),
                qPrintable(texts.join(u", "_s)));
            QVERIFY(menu->actions().first()->isSeparator() == false &&
                    menu->actions().last()->isSeparator() == false);
            menu->close();
            QTRY_VERIFY(!view->findChild<QMenu *>());
            QTest::mouseRelease(view->web().focusProxy(), Qt::RightButton, {}, at);
        }
    }

    void typedPageIsShownWithJapanese()
    {
        // The page declares no charset; its Japanese must still come out right.
        form1->Text1().setText(u"<h1>日本語の見出し</h1>"_s);
        QTRY_COMPARE_WITH_TIMEOUT(pageText(view->web()), u"日本語の見出し"_s, 10000);

        // Every refresh reloads the page; the reader keeps their place in it.
        form1->Text1().setText(u"<div style=\"height: 5000px\">tall</div>"_s);
        QTRY_COMPARE_WITH_TIMEOUT(pageText(view->web()), u"tall"_s, 10000);
        evaluate(view->web(), u"window.scrollTo(0, 1200);"_s);
        QTRY_COMPARE_WITH_TIMEOUT(view->web().page()->scrollPosition().y(), 1200.0, 10000);
        form1->Text1().moveCaretToEnd();
        QTest::keyClicks(&form1->Text1(), u"<p>end</p>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"end"_s), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(view->web().page()->scrollPosition().y(), 1200.0, 10000);
    }

    // Edit after edit, the page shown is node for node what the browser's parser makes of the
    // preview file, whether it was brought up to date in place or loaded; most edits are in
    // place. On pages without scripts: a load would run them again.
    void pageFollowsEditsInPlace_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("inPlace");  // at least, of the refreshes of 60 edits
        QString book = bookOfSize(30 * 1024).replace(u"\r\n"_s, u"\n"_s);
        book.remove(book.indexOf(u"<script>"_s),
                    book.indexOf(u"</script>"_s) + 10 - book.indexOf(u"<script>"_s));
        QTest::newRow("book") << book << 40;
        QTest::newRow("markup a parser mends") << mendedMarkup() << 12;
        const QString manual = readRealPage(kRealPages[1]);
        if (!manual.isEmpty())
            QTest::newRow("git's user manual") << manual << 40;
    }
    void pageFollowsEditsInPlace()
    {
        QFETCH(QString, page);
        QFETCH(int, inPlace);
        form1->Text1().setText(page);
        const auto shown = [&] {
            return differenceFrom(view->web(), QString::fromUtf8(readAll(previewFile())));
        };
        QTRY_VERIFY_WITH_TIMEOUT(!view->isUpdating(), 20000);
        QCOMPARE(shown(), QString());
        const int before = view->updates().inPlace;
        // Mostly what a person types whole, now and then what leaves the markup broken.
        const QStringList typed{u"x"_s,          u"日本"_s,     u"<b>b</b>"_s, u"&amp;"_s,
                                u"&"_s,          u" class=k"_s, u"<br>"_s,     u"<em>e</em>"_s,
                                u"<!-- c -->"_s, u"<p>q</p>"_s, u"\n"_s,       u"y"_s,
                                u"<b>"_s,        u"</b>"_s,     u"<"_s,        u">"_s,
                                u"\""_s,         u"<p>"_s,      u"<li>"_s,     u"<td>"_s};
        QRandomGenerator random(11);
        editor::SourceEdit &edit = form1->Text1();
        const int body = edit.toPlainText().indexOf(u"<body"_s);
        for (int i = 0; i < 60; ++i) {
            // Typed as a person types: a key at a time, Japanese through the input method.
            QTextCursor cursor = edit.textCursor();
            cursor.setPosition(random.bounded(body, edit.document()->characterCount() - 1));
            edit.setTextCursor(cursor);
            const QString text = typed[random.bounded(random.bounded(5) ? 12 : 20)];
            if (random.bounded(5) == 0) {
                for (int n = random.bounded(1, 6); n > 0; --n)
                    QTest::keyClick(&edit, Qt::Key_Delete);
            } else if (text.front().unicode() > 0x7f) {
                QInputMethodEvent typing;
                typing.setCommitString(text);
                QCoreApplication::sendEvent(edit.viewport(), &typing);
            } else if (text == u"\n"_s) {
                QTest::keyClick(&edit, Qt::Key_Return);
            } else {
                QTest::keyClicks(&edit, text);
            }
            // The key's refresh comes a moment later, and a large page is written aside.
            const QString now = edit.source().snapshot().toString();
            QTRY_VERIFY(QString::fromUtf8(readAll(previewFile())).startsWith(now));
            QTRY_VERIFY_WITH_TIMEOUT(!form1->preview().isWriting() && !view->isUpdating(), 20000);
            QCOMPARE(shown(), QString());
        }
        const auto &updates = view->updates();
        QString loads;
        for (int r = 0; r < source::kReloadReasons; ++r)
            if (updates.loads[size_t(r)])
                loads += u" %1: %2"_s.arg(QLatin1StringView(source::reloadName(source::Reload(r))))
                             .arg(updates.loads[size_t(r)]);
        qInfo("in place %d, loads:%s", updates.inPlace - before, qPrintable(loads));
        QVERIFY(updates.inPlace - before >= inPlace);
    }

    // Edits that a parser's hardest cases make of a page: after the key, the page is node for
    // node what a load of the preview file gives, in place or by a load. "|" is the caret.
    void hardEditsShowAsALoadWould_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("typed");
        QTest::newRow("> after a table's text in a paragraph")
            << u"<di</di>-->table><option>v>Z&poun<p>d_id=23</di<>|"_s << u">"_s;
        QTest::newRow("a line break in a MathML attribute's name")
            << u"<!DOCTYPE html><body xlink:href=foo xml:lang=en><math><mi xml:la|ng=en "
               u"xlink:href=fo /></math>"_s
            << u"\n"_s;
        QTest::newRow("a quote before body")
            << u"<html<><<!-<td>-h</html</b>>p>ea<svg>d></<!--h<><|body></body>"_s << u"\""_s;
        QTest::newRow("an HTML tag's /> in MathML's mi")
            << u"<math><mi>a<mglyp|h/></mi><mo>b</mo></math>"_s << u"<!--"_s;
        QTest::newRow("an end tag of an element closed long before")
            << u"<p><x>a<div>b</x>|</div>c"_s << u">"_s;
    }
    // 整形 changes only white space that the page does not show: a page tidied parses to the same
    // elements, attributes, comments and text, but for white space alone beside a block or at
    // a block's edge, and the indentation of a script's or a style's lines.
    void formattedPageParsesTheSame()
    {
        QList<QString> pages{
            bookOfSize(300 * 1024),
            u"<!DOCTYPE html><html><head><style>\n  p { margin: 0 }\n</style></head><body>"
            u"<ul><li>a <b>b</b> <i>c</i><li>d</ul><pre>  x\n <b>y</b></pre><table><tr><td>1"
            u"<td>2</table><!-- c --><script>\n  if (a) {\n    b();\n  }\n</script>"
            u"<svg><g><text>t</text></g></svg><p>e<textarea>\n  f</textarea></p></body></html>"_s};
        if (const QString manual = readRealPage(kRealPages[1]); !manual.isEmpty())
            pages.append(manual);
        static const QString kSame =
            uR"((function (a, b) {
          const blocks = new Set(('html head body title meta link base style script noscript ' +
            'template div p ul ol li dl dt dd menu table caption colgroup col thead tbody ' +
            'tfoot tr td th section article nav aside header footer main h1 h2 h3 h4 h5 h6 ' +
            'hgroup address blockquote figure figcaption form fieldset legend details summary ' +
            'dialog hr pre optgroup option search center').split(' '));
          const block = n => n && n.nodeType === 1 && n.namespaceURI ===
            'http://www.w3.org/1999/xhtml' && blocks.has(n.localName);
          const shown = n => n.nodeType !== 3 || /\S/.test(n.data) ||
            !(block(n.previousSibling) || block(n.nextSibling) ||
              ((!n.previousSibling || !n.nextSibling) && block(n.parentNode)));
          const text = n => /^(script|style)$/.test(n.parentNode.localName)
            ? n.data.replace(/^[ 	]+/gm, '').trim() : n.data;
          const diff = (x, y, path) => {
            if (x.nodeName !== y.nodeName) return path + ': ' + x.nodeName + ' / ' + y.nodeName;
            if (x.nodeType === 3 || x.nodeType === 8)
              return text(x) === text(y) ? '' : path + ': ' + JSON.stringify(x.data.slice(0, 80));
            if (x.nodeType === 1) {
              const attributes = e => Array.from(e.attributes, t => t.name + '=' + t.value).join(' ');
              if (attributes(x) !== attributes(y)) return path + ': ' + attributes(x);
            }
            const xs = Array.from(x.childNodes).filter(shown);
            const ys = Array.from(y.childNodes).filter(shown);
            for (let i = 0; i < Math.max(xs.length, ys.length); ++i) {
              if (!xs[i] || !ys[i]) return path + ': ' + xs.length + ' / ' + ys.length + ' nodes';
              const d = diff(xs[i], ys[i], path + '/' + xs[i].nodeName + '[' + i + ']');
              if (d) return d;
            }
            return '';
          };
          const parse = t => new DOMParser().parseFromString(t, 'text/html');
          return diff(parse(a), parse(b), '') || 'same';
        }))"_s;
        for (QString page : std::as_const(pages)) {
            page.replace(u"\r\n"_s, u"\n"_s);  // as the editor hands it over
            const std::optional<QString> tidied = source::formatPage(page, nullptr);
            QVERIFY(tidied && *tidied != page);
            const QString arguments = QString::fromUtf8(
                QJsonDocument(QJsonArray{page, *tidied}).toJson(QJsonDocument::Compact));
            QCOMPARE(evaluate(view->web(), kSame + u"(..."_s + arguments + u")"_s).toString(),
                     u"same"_s);
        }
    }

    void hardEditsShowAsALoadWould()
    {
        QFETCH(QString, page);
        QFETCH(QString, typed);
        const qsizetype at = page.indexOf(u'|');
        form1->Text1().setText(page.remove(at, 1));
        QTRY_VERIFY_WITH_TIMEOUT(!view->isUpdating(), 20000);
        QTextCursor caret = form1->Text1().textCursor();
        caret.setPosition(int(at));
        form1->Text1().setTextCursor(caret);
        if (typed == u"\n"_s)
            QTest::keyClick(&form1->Text1(), Qt::Key_Return);
        else
            QTest::keyClicks(&form1->Text1(), typed);
        const QString now = form1->Text1().source().snapshot().toString();
        QTRY_VERIFY(QString::fromUtf8(readAll(previewFile())).startsWith(now));
        QTRY_VERIFY_WITH_TIMEOUT(!form1->preview().isWriting() && !view->isUpdating(), 20000);
        QCOMPARE(differenceFrom(view->web(), QString::fromUtf8(readAll(previewFile()))), QString());
    }

    // Thousands of random edits of pages that test a parser's hardest rules (tables that move
    // what is not theirs, formatting that is made anew, foreign content, templates, select),
    // each shown node for node as a load would show it. Without scripts, which a load would run
    // again and DOMParser does not.
    void randomHardEditsShowAsALoadWould()
    {
        const QStringList hard{
            u"<table><tr><td>a<b>b<table><td>c</table>d</b>e</table>f"_s,
            u"<p><b><i>one<p>two</b>three</i><div>four<a href=x>five<div>six</a>seven</div>"_s,
            u"<svg><desc><p>x</p></desc><foreignObject><b>y</b></foreignObject></svg>"
            u"<math><mi>a<mglyph/></mi><annotation-xml encoding=text/html><p>z</annotation-xml>"
            u"</math>"_s,
            u"<template><tr><td>t</td></tr></template><select><option>a<optgroup><option>b"
            u"</select><form><form><input></form><ul><li>1<li>2<dl><dt>3<dd>4</dl>"_s,
            u"<table><caption>c<colgroup><col><tbody><tr><th>h<td>d</tr></table><pre>\n\nx"
            u"</pre><textarea>\n<b></textarea><title>t</title><!-- a -- b --><p>&amp&lt;&notit;"_s,
        };
        // Each amid the kind of content a page has, in which most edits are shown in place.
        const QString ordinary =
            u"<h1>見出し <small>副</small></h1><p>段落 <b>太字 <i>斜体</i></b> と "
            u"<a href=#x>リンク</a> &amp; 記号<ul><li>一<li>二 <code>c</code><li>三</ul>"
            u"<pre>\n  整形済み\n</pre><div><span>s</span> <ruby>漢<rt>かん</rt></ruby></div>"
            u"<svg width=9 height=9><path d=\"M0 0L5 5\"/><circle r=2 /></svg><p>終わり\n"_s;
        QStringList pages;
        for (qsizetype i = 0; i < hard.size(); ++i)
            pages.append((i % 2 ? u""_s : u"<!DOCTYPE html><body>"_s) + ordinary + hard[i] +
                         ordinary);
        // Text mostly, so that most edits are shown in place; then tags, and a lone <, >, quote
        // or comment mark that changes how all after it reads.
        const QStringList typed{u"x"_s,      u" "_s,        u"あ"_s,         u"\n"_s,   u"&amp;"_s,
                                u""_s,       u""_s,         u"<b>y</b>"_s,   u"<i>"_s,  u"</i>"_s,
                                u"<p>"_s,    u"</p>"_s,     u"<td>"_s,       u"<tr>"_s, u"<svg>"_s,
                                u"<math>"_s, u"<option>"_s, u"<a href=y>"_s, u"</a>"_s, u"<"_s,
                                u">"_s,      u"\""_s,       u"</"_s,         u"<!--"_s, u"-->"_s,
                                u"&"_s,      u";"_s,        u"="_s,          u"/"_s,    u"<li>"_s};
        QRandomGenerator random(43);
        editor::SourceEdit &edit = form1->Text1();
        int edits = 0;
        // From the page as written every 50 edits: a page edited at random soon holds no
        // structure left to get wrong.
        for (int round = 0; round < 40; ++round) {
            edit.setText(pages[round % pages.size()]);
            for (int i = 0; i < 50; ++i, ++edits) {
                const QString was = edit.source().snapshot().toString();
                QTextCursor cursor = edit.textCursor();
                cursor.setPosition(random.bounded(edit.document()->characterCount()));
                if (random.bounded(4) == 0)
                    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor,
                                        random.bounded(1, 4));
                // Two edits in three are text: the first seven.
                cursor.insertText(typed[random.bounded(3) ? random.bounded(7)
                                                          : random.bounded(int(typed.size()))]);
                const QString now = edit.source().snapshot().toString();
                QTRY_VERIFY(QString::fromUtf8(readAll(previewFile())).startsWith(now));
                QTRY_VERIFY_WITH_TIMEOUT(!form1->preview().isWriting() && !view->isUpdating(),
                                         20000);
                const QString shown = QString::fromUtf8(readAll(previewFile()));
                QVERIFY2(differenceFrom(view->web(), shown).isEmpty(),
                         qPrintable(differenceFrom(view->web(), shown) + u"\n"_s + was +
                                    u"\n→\n"_s + shown));
            }
        }
        qInfo("%d edits, %d in place", edits, view->updates().inPlace);
    }

    // A script the page uses, opened by a Ctrl+click on its link and typed into: the page runs
    // it once typing pauses, never on each key, and at once on 今すぐ反映; it is served as the
    // editor has it, and the file on disk stays as it was.
    void scriptTypedIntoRunsOnceTypingPauses()
    {
        QVERIFY(QDir().mkpath(path(u"site"_s)));
        QVERIFY(writeAll(path(u"site/s.js"_s),
                         "sessionStorage.runs = +(sessionStorage.runs || 0) + 1;\r\n"));
        QVERIFY(writeAll(path(u"site/page.html"_s), "<script src=\"s.js\"></script><p>x</p>\r\n"));
        QVERIFY(!form1->openDocument(path(u"site/page.html"_s)));
        const auto runs = [this] {
            return evaluate(view->web(), u"+sessionStorage.runs"_s).toInt();
        };
        QTRY_COMPARE_WITH_TIMEOUT(runs(), 1, 10000);
        QTextCursor at = form1->Text1().textCursor();
        at.setPosition(int(form1->Text1().toPlainText().indexOf(u"s.js"_s)) + 1);
        QTest::mouseClick(form1->Text1().viewport(), Qt::LeftButton, Qt::ControlModifier,
                          form1->Text1().cursorRect(at).center());
        QCOMPARE(form1->documentPath(), path(u"site/s.js"_s));
        const int used = view->updates().loads[size_t(source::Reload::Used)];
        QTest::keyClicks(&form1->Text1(), u"var q = 2;"_s);
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(view->web(), u"window.q"_s).toInt() == 2, 10000);
        QCOMPARE(runs(), 2);
        QCOMPARE(view->updates().loads[size_t(source::Reload::Used)], used + 1);
        QTest::keyClicks(&form1->Text1(), u" q = 3;"_s);
        QTest::mouseClick(form1->findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
        QVERIFY(form1->findChild<QTimer *>(u"usedPause"_s)->isActive() == false);
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(view->web(), u"window.q"_s).toInt() == 3, 10000);
        QCOMPARE(runs(), 3);
        QCOMPARE(readAll(path(u"site/s.js"_s)),
                 "sessionStorage.runs = +(sessionStorage.runs || 0) + 1;\r\n");
    }

    // A stylesheet the page links, opened by a Ctrl+click and typed into key by key: after each
    // key the page's computed style is the new one, and its rules are those a load would read
    // from the editor's text, with no load; the file on disk is untouched.
    void stylesheetTypedIntoRestylesInPlace()
    {
        QVERIFY(QDir().mkpath(path(u"site"_s)));
        const QByteArray css =
            "p { color: rgb(1, 2, 3); }\r\nb { color: red; }\r\n"
            "@media screen { i { color: blue; } }\r\n";
        QVERIFY(writeAll(path(u"site/s.css"_s), css));
        QVERIFY(writeAll(path(u"site/page.html"_s),
                         "<link rel=\"stylesheet\" href=\"s.css\"><p id=\"p\">x</p>\r\n"));
        QVERIFY(!form1->openDocument(path(u"site/page.html"_s)));
        const auto colour = [this] {
            return evaluate(view->web(), u"getComputedStyle(p).color"_s).toString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(colour(), u"rgb(1, 2, 3)"_s, 10000);
        QTextCursor at = form1->Text1().textCursor();
        at.setPosition(int(form1->Text1().toPlainText().indexOf(u"s.css"_s)) + 1);
        QTest::mouseClick(form1->Text1().viewport(), Qt::LeftButton, Qt::ControlModifier,
                          form1->Text1().cursorRect(at).center());
        QCOMPARE(form1->documentPath(), path(u"site/s.css"_s));
        const auto loads = [this] {
            const auto &all = view->updates().loads;
            return std::accumulate(all.cbegin(), all.cend(), 0);
        };
        QTRY_VERIFY_WITH_TIMEOUT(!form1->preview().isWriting() && !view->isUpdating(), 10000);
        // Opening the sheet leaves the page as it was, styled from its folder.
        QCOMPARE(colour(), u"rgb(1, 2, 3)"_s);
        const int loaded = loads();
        editor::SourceEdit &edit = form1->Text1();
        const auto caretAfter = [&](const QString &found) {
            QTextCursor caret = edit.textCursor();
            caret.setPosition(int(edit.toPlainText().indexOf(found) + found.size()));
            edit.setTextCursor(caret);
        };
        const auto rules = [this](const QString &script) {
            return evaluate(view->web(),
                            u"Array.from("_s + script + u".cssRules, r => r.cssText).join('\\n')"_s)
                .toString();
        };
        const auto asLoaded = [&] {
            const QString text = QString::fromUtf8(
                QJsonDocument(QJsonArray{edit.toPlainText()}).toJson(QJsonDocument::Compact));
            return rules(u"(() => { const s = new CSSStyleSheet(); s.replaceSync("_s + text +
                         u"[0]); return s; })()"_s);
        };
        caretAfter(u"(1"_s);
        QTest::keyClick(&edit, Qt::Key_0);
        QTRY_COMPARE_WITH_TIMEOUT(colour(), u"rgb(10, 2, 3)"_s, 10000);
        QTest::keyClick(&edit, Qt::Key_0);
        QTRY_COMPARE_WITH_TIMEOUT(colour(), u"rgb(100, 2, 3)"_s, 10000);
        // Half typed, as the browser reads it: a declaration it cannot read is dropped.
        QTest::keyClick(&edit, Qt::Key_ParenLeft);
        QTRY_COMPARE_WITH_TIMEOUT(colour(), u"rgb(0, 0, 0)"_s, 10000);
        // Edits that change how the rest of the sheet reads, and what undoes them.
        const QList<std::pair<QString, QString>> edits{
            {u"red;"_s, u" x"_s}, {u"}\n"_s, u"{"_s},     {u"}\n{"_s, u"\b"_s}, {u"}\n"_s, u"/*"_s},
            {u"/*"_s, u"\b\b"_s}, {u"screen "_s, u"}"_s}, {u"(100("_s, u"\b"_s}};
        for (const auto &[after, keys] : edits) {
            caretAfter(after);
            for (const QChar key : keys) {
                if (key == u'\b')
                    QTest::keyClick(&edit, Qt::Key_Backspace);
                else
                    QTest::keyClicks(&edit, key);
                QTRY_COMPARE_WITH_TIMEOUT(rules(u"document.styleSheets[0]"_s), asLoaded(), 10000);
            }
        }
        QCOMPARE(colour(), u"rgb(100, 2, 3)"_s);
        // A rule a script of the page added is not the editor's: the sheet is given whole again.
        evaluate(view->web(), u"document.styleSheets[0].insertRule('p { color: red; }', 0)"_s);
        caretAfter(u"red;"_s);
        QTest::keyClick(&edit, Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(rules(u"document.styleSheets[0]"_s), asLoaded(), 10000);
        QCOMPARE(colour(), u"rgb(100, 2, 3)"_s);
        QCOMPARE(loads(), loaded);
        // The sheet whole, then only the rules each key touched.
        QCOMPARE(view->restyledWhole(), 2);
        QCOMPARE(view->restyledRules(), 12);
        QCOMPARE(readAll(path(u"site/s.css"_s)), css);
    }

    // An image the page shows, changed on disk by another program: the page takes it.
    void imageChangedOnDiskIsShown()
    {
        QVERIFY(QDir().mkpath(path(u"site"_s)));
        QVERIFY(QImage(7, 5, QImage::Format_RGB32).save(path(u"site/a.png"_s)));
        QVERIFY(writeAll(path(u"site/page.html"_s), "<img id=\"i\" src=\"a.png\">\r\n"));
        QVERIFY(!form1->openDocument(path(u"site/page.html"_s)));
        const auto width = [this] {
            return evaluate(view->web(), u"i.complete ? i.naturalWidth : 0"_s).toInt();
        };
        QTRY_COMPARE_WITH_TIMEOUT(width(), 7, 10000);
        // Once the page's links are watched.
        QTRY_VERIFY_WITH_TIMEOUT(
            form1->findChild<QFileSystemWatcher *>()->files().contains(path(u"site/a.png"_s)),
            10000);
        QVERIFY(QImage(9, 4, QImage::Format_RGB32).save(path(u"site/a.png"_s)));
        QTRY_COMPARE_WITH_TIMEOUT(width(), 9, 10000);
        QCOMPARE(view->updates().loads[size_t(source::Reload::Used)], 1);
    }

    // A page from Windows with its own stylesheet and image, one from the web, and scripts that
    // try to read files: the preview shows it as a browser would from its folder, and keeps the
    // rest private.
    void documentShowsFromItsOwnFolder()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        // Every request is answered with one stylesheet, as a web server would.
        connect(&server, &QTcpServer::newConnection, &server, [&server] {
            QTcpSocket *socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                socket->write(
                    "HTTP/1.1 200 OK\r\nContent-Type: text/css\r\nConnection: close\r\n"
                    "\r\nbody { color: rgb(7, 8, 9); }");
                socket->disconnectFromHost();
            });
        });
        QVERIFY(QDir().mkpath(path(u"doc/css"_s)) && QDir().mkpath(path(u"doc/img"_s)));
        QVERIFY(writeAll(path(u"doc/css/style.css"_s), "p { color: rgb(1, 2, 3); }"));
        QVERIFY(QImage(7, 5, QImage::Format_RGB32).save(path(u"doc/img/pic.png"_s)));
        QVERIFY(writeAll(path(u"doc/data.json"_s), "own"));
        QVERIFY(writeAll(path(u"secret.txt"_s), "SECRET"));
        const QString page =
            u"<meta charset=\"Shift_JIS\"><link rel=\"stylesheet\" href=\"css/style.css\">\r\n"
            "<link rel=\"stylesheet\" href=\"http://127.0.0.1:%2/s.css\">\r\n"
            "<p id=\"p\">日本語～</p><img id=\"i\" src=\"img/pic.png\"><script>\r\n"
            "var seen = {}, get = (url, key) => fetch(url).then(r => r.text())\r\n"
            "  .then(t => seen[key] = t, () => seen[key] = 'refused');\r\n"
            "get('data.json', 'own'); get('%1', 'fetch');\r\n"
            "var x = new XMLHttpRequest(); x.open('GET', '%1');\r\n"
            "x.onload = () => seen.xhr = x.responseText; x.onerror = () => seen.xhr = "
            "'refused';\r\n"
            "x.send();</script><iframe id=\"f\" src=\"%1\"></iframe>\r\n"_s.arg(
                QUrl::fromLocalFile(path(u"secret.txt"_s)).toString(),
                QString::number(server.serverPort()));
        QVERIFY(writeAll(path(u"doc/page.html"_s), QStringEncoder("Shift_JIS").encode(page)));
        // Opened as the file dialog opens it.
        const engine::ReadText read = engine::ReadTextFile(path(u"doc/page.html"_s));
        form1->setDocument(path(u"doc/page.html"_s), read.encoding);
        form1->Text1().setText(read.text);

        const QString shown =
            u"[getComputedStyle(document.getElementById('p')).color,"
            u" getComputedStyle(document.body).color,"
            u" document.getElementById('i').naturalWidth, document.getElementById('p').innerText,"
            u" seen.own, seen.fetch, seen.xhr].join()"_s;
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view->web(), shown).toString(),
                                  u"rgb(1, 2, 3),rgb(7, 8, 9),7,日本語～,own,refused,refused"_s,
                                  10000);
        const QString frame =
            u"(() => { try { return document.getElementById('f')"
            u".contentDocument.body.innerText; } catch (e) { return 'refused'; } })()"_s;
        QVERIFY(!evaluate(view->web(), frame).toString().contains(u"SECRET"_s));
        // The preview file holds the document's bytes as the format writes them, nothing added.
        QVERIFY(view->web().url().path().endsWith(path(u"doc/一時.html"_s)));
        QCOMPARE(readAll(previewFile()), readAll(path(u"doc/page.html"_s)) + "\r\n");
    }

    // Every route a script could read a file by: closed to files outside the document's folder,
    // open within it; what is outside still shows. Links, anchors and history still work.
    void onlyTheDocumentsFolderIsReadable()
    {
        QVERIFY(QDir().mkpath(path(u"site/doc"_s)));
        QDirIterator fonts(u"/usr/share/fonts"_s, {u"*.ttf"_s}, QDir::Files,
                           QDirIterator::Subdirectories);
        const QString font = fonts.hasNext() ? fonts.next() : QString();
        if (font.isEmpty())
            QSKIP("no TrueType font installed");
        for (const QString &where : {u"site/doc/in"_s, u"site/out"_s}) {
            const QByteArray name = QFileInfo(where).fileName().toUtf8();
            QVERIFY(writeAll(path(where + u".json"_s), name));
            QVERIFY(writeAll(path(where + u".html"_s), "<body>" + name + "</body>"));
            QVERIFY(writeAll(path(where + u".css"_s), "b.c" + name + " { color: rgb(4, 5, 6); }"));
            QVERIFY(writeAll(path(where + u".js"_s), "throw new Error('" + name + "');"));
            QVERIFY(writeAll(path(where + u"-worker.js"_s), "postMessage('" + name + "');"));
            QVERIFY(QImage(3, 2, QImage::Format_RGB32).save(path(where + u".png"_s)));
            QVERIFY(QFile::copy(font, path(where + u".ttf"_s)));
        }
        const QString page =
            uR"html(<b id="bin" class="cin">x</b><b id="bout" class="cout">x</b>
<img id="iin" src="in.png"><img id="iout" src="../out.png">
<link rel="stylesheet" href="in.css"><link rel="stylesheet" href="../out.css">
<iframe id="fin" src="in.html"></iframe><iframe id="fout" src="../out.html"></iframe>
<object id="oin" data="in.html"></object><object id="oout" data="../out.html"></object>
<script>
var r = {errors: []};
window.onerror = (m) => { r.errors.push(m); };
const read = (f) => { try { return f(); } catch (e) { return 'refused'; } };
const get = (key, url) => fetch(url).then(x => x.text()).then(t => r[key] = t, () => r[key] = 'refused');
get('fetchIn', 'in.json'); get('fetchOut', '../out.json'); get('fontOut', '../out.ttf');
for (const w of ['in', 'out']) new FontFace('f' + w, 'url(' + (w == 'in' ? '' : '../') + w + '.ttf)')
  .load().then(() => r['font' + w] = 'applies', () => r['font' + w] = 'refused');
const xhr = (key, url) => { const x = new XMLHttpRequest(); x.open('GET', url);
  x.onload = () => r[key] = x.responseText; x.onerror = () => r[key] = 'refused'; x.send(); };
xhr('xhrIn', 'in.json'); xhr('xhrOut', '../out.json');
for (const w of ['in', 'out']) read(() => { const worker = new Worker((w == 'in' ? '' : '../') + w + '-worker.js');
  worker.onmessage = (e) => r['worker' + w] = e.data; worker.onerror = () => r['worker' + w] = 'refused'; });
window.onload = () => {
  for (const w of ['in', 'out']) {
    const c = document.createElement('canvas').getContext('2d');
    c.drawImage(document.getElementById('i' + w), 0, 0);
    r['canvas' + w] = read(() => c.getImageData(0, 0, 1, 1) && 'read');
    r['shown' + w] = document.getElementById('i' + w).naturalWidth + ' ' +
      getComputedStyle(document.getElementById('b' + w)).color;
    r['frame' + w] = read(() => document.getElementById('f' + w).contentDocument.body.innerText);
    r['object' + w] = read(() => document.getElementById('o' + w).contentDocument.body.innerText);
    r['rules' + w] = read(() => [...document.styleSheets].find(s => s.href.includes(w + '.css')).cssRules.length);
  }
  r.done = true;
};
</script><script src="in.js"></script><script src="../out.js"></script>
<p id="here">here</p><a id="link" href="in.html">in</a>)html"_s;
        QVERIFY(writeAll(path(u"site/doc/page.html"_s), page.toUtf8()));
        // A new document reads no local file, not even beside the preview file.
        QVERIFY(writeAll(path(u"program/in.json"_s), "beside"));
        form1->Text1().setText(page);
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(view->web(), u"r.fetchIn && r.xhrIn"_s).toBool(), 10000);
        QCOMPARE(evaluate(view->web(), u"r.fetchIn + ' ' + r.xhrIn"_s).toString(),
                 u"refused refused"_s);
        form1->setDocument(path(u"site/doc/page.html"_s), u"UTF-8"_s);
        form1->Text1().setText(page);
        QTRY_VERIFY_WITH_TIMEOUT(
            evaluate(view->web(),
                     u"r.done && r.workerout && r.xhrOut && r.fetchOut && r.fontOut && r.fontout"_s)
                .toBool(),
            10000);
        const QString results = evaluate(view->web(), u"JSON.stringify(r)"_s).toString();
        const QString expected =
            uR"j({"errors":["Uncaught Error: in","Script error."],"fetchIn":"in","xhrIn":"in",)j"
            uR"j("workerin":"in","fetchOut":"refused","xhrOut":"refused","workerout":"refused",)j"
            uR"j("canvasin":"read","shownin":"3 rgb(4, 5, 6)","framein":"in","objectin":"in",)j"
            uR"j("rulesin":1,"canvasout":"refused","shownout":"3 rgb(4, 5, 6)",)j"
            uR"j("frameout":"refused","objectout":"refused","rulesout":"refused","done":true,)j"
            uR"j("fontin":"applies","fontout":"applies","fontOut":"refused"})j"_s;
        QCOMPARE(QJsonDocument::fromJson(results.toUtf8()).object(),
                 QJsonDocument::fromJson(expected.toUtf8()).object());
        // An anchor, a link and back again.
        evaluate(view->web(), u"location.hash = 'here'"_s);
        QTRY_COMPARE(evaluate(view->web(), u"location.hash"_s).toString(), u"#here"_s);
        evaluate(view->web(), u"document.getElementById('link').click()"_s);
        QTRY_COMPARE_WITH_TIMEOUT(pageText(view->web()), u"in"_s, 10000);
        view->web().back();
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"here"_s), 10000);
    }

    // A load that does not end, waiting for a server that never answers, neither hides what is
    // typed meanwhile nor holds the preview for ever.
    void slowLoadDoesNotHoldThePreview()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QSignalSpy requested(&server, &QTcpServer::newConnection);
        form1->Text1().setText(
            u"<link rel=\"stylesheet\" href=\"http://127.0.0.1:%1/s.css\"><p>typed:"_s.arg(
                server.serverPort()));
        QVERIFY(requested.wait(10000));
        form1->Text1().moveCaretToEnd();
        // A person's keystrokes come apart: the page answers a script between them.
        for (const char key : {'a', 'b', 'c'}) {
            QTest::keyClick(&form1->Text1(), key);
            evaluate(view->web(), u"0"_s);
        }
        QTRY_COMPARE_WITH_TIMEOUT(pageText(view->web()), u"typed:abc"_s,
                                  kLoadTimeout.count() + 10000);
    }

    // A refresh that fails says why in the pane.
    void failedRefreshIsShownInThePane()
    {
        QVERIFY(writeAll(path(u"plain.txt"_s), ""));
        const QString blocked = QDir::toNativeSeparators(path(u"plain.txt/x"_s));
        testsupport::Fixture failing;
        failing.start(Pane::Web, {blocked, blocked, QString()});
        QTRY_VERIFY_WITH_TIMEOUT(
            pageText(failing.view->web()).contains(u"プレビューを更新できません"_s), 10000);
        QVERIFY(pageText(failing.view->web()).contains(u"plain.txt"_s));
        // Typing goes on, and what is typed stays, whatever the preview cannot do.
        QTest::keyClicks(&failing.form1->Text1(), u"<p>keep</p>"_s);
        QCOMPARE(failing.form1->Text1().text(), u"<p>keep</p>"_s);

        // What the page's encoding cannot hold is shown still, in text and attributes, and told.
        form1->Text1().setText(u"<meta charset=\"Shift_JIS\">\r\n<p title=\"😀\">😀</p>"_s);
        QTRY_COMPARE_WITH_TIMEOUT(pageText(view->web()), u"😀"_s, 10000);
        QCOMPARE(evaluate(view->web(), u"document.querySelector('p').title"_s).toString(), u"😀"_s);
        const auto *list = view->console().findChild<QListWidget *>(u"consoleList"_s);
        QVERIFY(view->console().isVisible() &&
                list->item(0)->text().startsWith(u"「😀」(U+1F600) は Shift_JIS では保存"_s) &&
                list->item(0)->text().endsWith(u"(2 行)"_s));
    }

    // The element a person would point at for the caret at "|" is outlined where the page shows
    // it, on pages the browser rearranges or whose scripts misbehave ("want" is its id).
    void caretOutlinesItsElement_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addRow("table without tbody") << u"<table>\n<tr><td>a<td id=want>b|\n</table>"_s;
        QTest::addRow("omitted end tags") << u"<p>one\n<p>two\n<ul><li>a<li id=want>b|</ul>"_s;
        QTest::addRow("inline svg")
            << u"<svg width=50 height=50><linearGradient/><circle id=want r=|9 cx=20 cy=20/></svg>"_s;
        QTest::addRow("comment, and < in a script")
            << u"<!-- <div> -->\n<script>if (1 < 2) document.title = '<p>';</script>\n"
               u"<p id=want>t|</p>"_s;
        QTest::addRow("far down") << u"<div style=\"height: 3000px\"></div><b id=want>|x</b>"_s;
        QTest::addRow("scripts that throw")
            << u"<script>null.x;</script><p id=want>|t</p><script>throw 1</script>"_s;
        QTest::addRow("100,000 elements")
            << u"<div id=want>|x</div><script>for (let i = 0; i < 100000; i++)\n"
               u"document.body.prepend(document.createElement('i'));</script>"_s;
        QTest::addRow("a loop rewrites the page")
            << u"<p id=want>|x</p><div id=n></div><script>setInterval(() =>\n"
               u"n.innerHTML = '<b>' + Date.now() + '</b>', 5)</script>"_s;
        QTest::addRow("body replaced")
            << u"<p>|x</p><script>document.body = document.createElement('body')</script>"_s;
    }
    void caretOutlinesItsElement()
    {
        QFETCH(QString, page);
        const qsizetype at = page.indexOf(u'|');
        QSignalSpy loaded(&view->web(), &QWebEngineView::loadFinished);
        form1->Text1().setText(page.remove(at, 1));
        QVERIFY(loaded.wait(10000));
        QTextCursor caret = form1->Text1().textCursor();
        caret.setPosition(int(at));
        form1->Text1().setTextCursor(caret);
        const auto wanted = [&] {
            const QVariantList box =
                evaluate(view->web(),
                         u"(e => e && (r => [r.x, r.y, r.width, r.height])("
                         u"e.getBoundingClientRect()))(document.getElementById('want'))"_s)
                    .toList();
            return box.size() == 4 ? QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(),
                                            box[3].toDouble())
                                         .toRect()
                                   : QRect();
        };
        QTRY_COMPARE_WITH_TIMEOUT(view->outline().box().toRect(), wanted(), 10000);
        QCOMPARE(view->outline().isVisible(), !wanted().isEmpty());
        // Brought into view.
        QVERIFY(!view->outline().isVisible() || view->rect().intersects(wanted()));
        // The page stays the page: nothing of the outline is in it.
        QCOMPARE(evaluate(view->web(), u"typeof window.quorvane"_s).toString(), u"undefined"_s);
        QTest::keyClicks(&form1->Text1(), u"<i>typed</i>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(form1->Text1().text().contains(u"typed"_s), 10000);
    }

    // Ctrl+click puts the caret on the element's "<", and the page never hears of it; a plain
    // click is the page's.
    void ctrlClickPutsTheCaretOnTheTag()
    {
        const QString page =
            u"<table>\n<tr><td>a<td><b style=\"font-size: 40px\">bold</b>\n"
            u"</table><script>onclick = () => document.title += 'c'</script>"_s;
        form1->Text1().setText(page);
        form1->Text1().moveCaretToEnd();
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"bold"_s), 10000);
        const QVariantList box = evaluate(view->web(),
                                          u"(r => [r.x + r.width / 2, r.y + r.height / 2])("
                                          u"document.querySelector('b')"
                                          u".getBoundingClientRect())"_s)
                                     .toList();
        const QPoint at = view->mapTo(form1.get(), QPoint(box[0].toInt(), box[1].toInt()));
        QTest::mouseClick(form1->windowHandle(), Qt::LeftButton, Qt::ControlModifier, at);
        QTRY_COMPARE_WITH_TIMEOUT(form1->Text1().textCursor().position(), page.indexOf(u"<b"_s),
                                  10000);
        QVERIFY(form1->Text1().hasFocus());
        QTest::mouseClick(form1->windowHandle(), Qt::LeftButton, {}, at);
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view->web(), u"document.title"_s).toString(), u"c"_s,
                                  10000);
        QCOMPARE(form1->Text1().textCursor().position(), page.indexOf(u"<b"_s));
    }

    // The page is laid out at each width offered: its own breakpoints among them, read from the
    // stylesheets it links and they import. Its innerWidth and media queries see the width, it
    // is zoomed to fit, and the pane's parts stay where they were.
    void pageLaysOutAtTheChosenWidth_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("colour");
        QTest::addRow("phone") << u"スマートフォン (375 px)"_s << 375 << u"rgb(1, 1, 1)"_s;
        QTest::addRow("own breakpoint")
            << u"ブレークポイント (600 px)"_s << 600 << u"rgb(1, 1, 1)"_s;
        QTest::addRow("tablet") << u"タブレット (768 px)"_s << 768 << u"rgb(0, 0, 0)"_s;
        QTest::addRow("imported breakpoint, wider than the least zoom fits")
            << u"ブレークポイント (1500 px)"_s << 1500 << u"rgb(2, 2, 2)"_s;
    }
    void pageLaysOutAtTheChosenWidth()
    {
        QFETCH(QString, caption);
        QFETCH(int, width);
        QFETCH(QString, colour);
        QVERIFY(QDir().mkpath(path(u"doc/css"_s)));
        QVERIFY(writeAll(path(u"doc/css/site.css"_s),
                         "@import url(\"wide.css\");\n/* (max-width: 99px) */\n"
                         "@media (max-width: 600px) { body { color: rgb(1, 1, 1) } }"));
        QVERIFY(writeAll(path(u"doc/css/wide.css"_s),
                         "@media (min-width: 93.75em) { body { color: rgb(2, 2, 2) } }"));
        QVERIFY(writeAll(path(u"doc/page.html"_s),
                         "<link rel=stylesheet href=\"css/site.css\"><p>x</p>"));
        const engine::ReadText read = engine::ReadTextFile(path(u"doc/page.html"_s));
        form1->setDocument(path(u"doc/page.html"_s), read.encoding);
        form1->Text1().setText(read.text);
        QTRY_COMPARE_WITH_TIMEOUT(pageText(view->web()), u"x"_s, 10000);
        const QRect console = view->console().geometry(), pane = view->geometry();
        const int paneWidth = evaluate(view->web(), u"innerWidth"_s).toInt();
        QCOMPARE(paneWidth, view->width());

        // Chosen as a person does: from the page's menu.
        QTest::mouseClick(form1->windowHandle(), Qt::RightButton, {},
                          view->mapTo(form1.get(), QPoint(100, 100)));
        QMenu *menu = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((menu = view->findChild<QMenu *>()), 10000);
        QAction *widths = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == u"ページの幅"_s)
                widths = action;
        QVERIFY(widths && widths->menu());
        emit widths->menu()->aboutToShow();
        QStringList captions;
        QAction *chosen = nullptr;
        for (QAction *action : widths->menu()->actions()) {
            captions.append(action->text());
            if (action->text() == caption)
                chosen = action;
        }
        QVERIFY2(chosen && !captions.contains(u"ブレークポイント (99 px)"_s),
                 qPrintable(captions.join(u", "_s)));
        menu->close();
        QTest::mouseRelease(view->web().focusProxy(), Qt::RightButton, {}, QPoint(100, 100));
        chosen->trigger();

        const QString seen = u"innerWidth + ' ' + getComputedStyle(document.body).color"_s;
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view->web(), seen).toString(),
                                  u"%1 %2"_s.arg(width).arg(colour), 10000);
        const qreal zoom = std::max(0.25, qreal(view->width()) / width);
        QCOMPARE(view->web().zoomFactor(), zoom);
        auto *label = view->findChild<QLabel *>(u"pageWidthLabel"_s);
        QVERIFY(label->isVisible() &&
                label->text().startsWith(u"%1 px ・ %2%"_s.arg(width).arg(qRound(zoom * 100))));
        QCOMPARE(label->text().contains(u"タッチ"_s), width == 375 || width == 768);
        auto *across = view->findChild<QScrollBar *>(u"pageAcross"_s);
        QCOMPARE(across->isVisible(), zoom * width > view->width());
        QCOMPARE(view->console().geometry(), console);
        QCOMPARE(view->geometry(), pane);

        // The shortcut steps on through the widths, and after the widest comes the pane's own.
        for (int steps = 0; steps < 8 && view->pageWidth() != 0; ++steps)
            QTest::keyClick(form1.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(view->pageWidth(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view->web(), u"innerWidth"_s).toInt(), paneWidth, 10000);
        QVERIFY(!label->isVisible() && !across->isVisible());
    }

    // A person's scroll of either side brings the other to the same element: the wheel and
    // Page Down in the source, the wheel in the page. Typing moves neither; the menu turns it off.
    void scrollFollowsTheOtherSide()
    {
        QString page = u"<!DOCTYPE html>\r\n<style>p { margin: 0; height: 37px }</style>\r\n"_s;
        for (int line = 2; line < 400; ++line)
            page +=
                line % 10 ? u"<p id=l%1>段落 %1</p>\r\n"_s.arg(line) : u"本文 %1\r\n"_s.arg(line);
        form1->Text1().setText(page);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"段落 399"_s), 10000);
        QScrollBar *lines = form1->Text1().verticalScrollBar();
        // The line whose element is at the top of the page: text goes to the element before.
        const auto pageTop = [&] {
            const QString id =
                evaluate(view->web(), u"document.elementFromPoint(innerWidth / 2, 1).id"_s)
                    .toString();
            return id.startsWith(u'l') ? id.mid(1).toInt() : -1;
        };
        const auto elementLine = [](int line) { return line % 10 ? line : line - 1; };
        const auto wheel = [](QWidget *widget, int notches) {
            QWheelEvent turn(QPointF(50, 50), widget->mapToGlobal(QPointF(50, 50)), {},
                             QPoint(0, -120 * notches), {}, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(widget, &turn);
        };

        wheel(form1->Text1().viewport(), 10);
        QVERIFY(lines->value() > 20);
        QTRY_COMPARE_WITH_TIMEOUT(pageTop(), elementLine(lines->value()), 10000);
        form1->Text1().setFocus();
        QTest::keyClick(&form1->Text1(), Qt::Key_PageDown);
        QTRY_COMPARE_WITH_TIMEOUT(pageTop(), elementLine(lines->value()), 10000);

        const int before = lines->value();
        wheel(view->web().focusProxy(), 8);
        QTRY_VERIFY_WITH_TIMEOUT(lines->value() > before + 10 && pageTop() == lines->value(),
                                 10000);
        const int down = lines->value();
        wheel(view->web().focusProxy(), -3);
        QTRY_VERIFY_WITH_TIMEOUT(lines->value() < down && pageTop() == lines->value(), 10000);

        // Typing at the end brings the caret's element into view, nothing else.
        form1->Text1().moveCaretToEnd();
        const int atEnd = lines->value();
        QTest::keyClicks(&form1->Text1(), u"<p id=l400>last"_s);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"last"_s), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(view->outline().isVisible(), 10000);
        QCOMPARE(lines->value(), atEnd);
        // The page scrolls after the outline shows, on a busy machine a while after.
        QTRY_VERIFY_WITH_TIMEOUT(
            view->rect().intersects(view->outline().geometry()) &&
                evaluate(view->web(), u"l400.getBoundingClientRect().bottom <= innerHeight"_s)
                    .toBool(),
            10000);

        auto *follow = view->findChild<QAction *>(u"followScroll"_s);
        QVERIFY(follow && follow->text() == u"スクロールを連動"_s && follow->isChecked());
        follow->trigger();
        const int top = pageTop();
        wheel(form1->Text1().viewport(), -30);
        QCoreApplication::processEvents();
        QCOMPARE(pageTop(), top);  // asked after a scroll would have been
    }

    // The page's dialogs are answered by the program, told in the strip, and never wait: a key
    // typed after them reaches the editor and the preview file.
    void dialogsNeverWait()
    {
        form1->Text1().setText(
            u"<html lang=\"ja\"><script>alert('hello'); document.title = confirm('sure?') + ':' + "
            u"prompt('name?');</script><p>x</p>"_s);
        QTRY_COMPARE_WITH_TIMEOUT(view->web().title(), u"false:null"_s, 10000);
        auto *list = view->console().findChild<QListWidget *>(u"consoleList"_s);
        QTRY_COMPARE(list->count(), 3);
        QVERIFY2(list->item(0)->text().contains(u"alert「hello」"_s) &&
                     !list->item(0)->text().contains(u"localhost"_s),
                 qPrintable(list->item(0)->text()));
        QVERIFY(!QApplication::activeModalWidget());
        form1->Text1().moveCaretToEnd();
        QTest::keyClick(&form1->Text1(), Qt::Key_A);
        QVERIFY(readAll(previewFile()).endsWith("</p>a\r\n"));
    }

    // A page whose script holds its process is stopped and says so, and stays stopped until
    // the next refresh; a process that ends by itself leaves a word of why. Either way the next
    // text shows.
    void misbehavingPagesRecover()
    {
        form1->Text1().setText(u"<p>before</p><script>while (true) {}</script>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"止めました"_s), 20000);
        form1->Command1_Click();  // asked for again, it is tried again
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"止めました"_s), 20000);
        form1->Text1().setText(u"<p>mended</p>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"mended"_s), 20000);
        platform::endProcess(view->web().page()->renderProcessPid());
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"強制終了"_s), 10000);
        form1->Text1().setText(u"<p>back</p>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).contains(u"back"_s), 20000);
    }

    // The page's accessibility is checked after a pause, by rules the page's scripts cannot see:
    // each finding a Japanese row on the line of its element, that leads there. Mended, asked
    // from the context menu, it says nothing was found.
    void accessibilityFindingsOnTheirLines()
    {
        const QString page =
            u"<!DOCTYPE html>\r\n<html lang=\"ja\"><head><title>検査</title></head><body>\r\n"
            u"<p>読める文字</p>\r\n<img src=\"a.png\">\r\n<p style=\"color: #bbb\">薄い文字</p>\r\n"
            u"<script>document.title = typeof axe + typeof quorvaneCheck;</script>\r\n"
            u"</body></html>"_s;
        form1->Text1().setText(page);
        auto *list = view->console().findChild<QListWidget *>(u"consoleList"_s);
        const auto findings = [&] {
            QStringList rows;
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)
                        ->data(Qt::AccessibleTextRole)
                        .toString()
                        .startsWith(u"アクセシビリティ: "_s))
                    rows.append(list->item(i)->text());
            return rows;
        };
        QTRY_COMPARE_WITH_TIMEOUT(findings().size(), 2, 20000);
        QCOMPARE(
            findings()[0],
            u"画像には代替テキストがなければなりません: 要素にalt属性が指定されていません  (4 行 1 桁)"_s);
        QVERIFY2(findings()[1].startsWith(
                     u"要素は色のコントラスト比（最低限）の閾値を満たしていなければ"
                     u"なりません: 要素のコントラスト比が不十分です 1.91（前景色: #bbbbbb、"
                     u"背景色: #ffffff"_s) &&
                     findings()[1].endsWith(u"(5 行 1 桁)"_s),
                 qPrintable(findings()[1]));
        QCOMPARE(view->web().title(), u"undefinedundefined"_s);
        QTest::mouseClick(view->console().findChild<QToolButton *>(u"consoleSummary"_s),
                          Qt::LeftButton);
        QTRY_VERIFY(list->isVisible());
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {},
            list->visualItemRect(list->findItems(findings()[1], Qt::MatchExactly)[0]).center());
        QCOMPARE(form1->Text1().textCursor().block().blockNumber(), 4);

        form1->Text1().setText(
            QString(page).replace(u"#bbb"_s, u"#333"_s).replace(u"<img "_s, u"<img alt=\"図\" "_s));
        QTRY_VERIFY_WITH_TIMEOUT(findings().isEmpty(), 20000);
        form1->Text1().checkAccessibilityCommand().trigger();
        QTRY_VERIFY_WITH_TIMEOUT(
            !list->findItems(u"アクセシビリティの問題は見つかりませんでした"_s, Qt::MatchStartsWith)
                 .isEmpty(),
            20000);

        // A large page is checked only when asked. Typing while a rule holds it for seconds gives
        // the check up: the page is no hung page, and shows what was typed once the rule ends.
        form1->Text1().setText(bookOfSize(300 * 1024));
        QTRY_VERIFY_WITH_TIMEOUT(
            !list->findItems(u"ページの要素が 1000 を超えるため"_s, Qt::MatchStartsWith).isEmpty(),
            20000);
        const qint64 process = view->web().page()->renderProcessPid();
        form1->Text1().checkAccessibilityCommand().trigger();
        const auto held = [&] {
            const auto answered = std::make_shared<bool>(false);
            view->web().page()->runJavaScript(u"0"_s,
                                              [answered](const QVariant &) { *answered = true; });
            return !QTest::qWaitFor([&] { return *answered; }, 1500);
        };
        QVERIFY(QTest::qWaitFor(held, 20000));
        form1->Text1().moveCaretToEnd();
        QTest::keyClicks(&form1->Text1(), u"<p>typed</p>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(pageText(view->web()).endsWith(u"typed"_s), 30000);
        QCOMPARE(view->web().page()->renderProcessPid(), process);
    }

    // The page's messages at the pane's foot, repeats counted; an entry leads to its line; the
    // next load clears them.
    void consoleListsThePagesMessages()
    {
        const QRect pane = view->geometry();
        // A doctype, a language and a title: the accessibility check finds nothing here unless
        // meant.
        form1->Text1().setText(
            u"<!DOCTYPE html><html "
            u"lang=\"ja\"><title>t</title><p>x</p>\r\n<script>\r\nconsole.warn('w'); "
            u"console.warn('w');\r\n"
            u"undefinedName();\r\n</script>"_s);
        auto *list = view->console().findChild<QListWidget *>(u"consoleList"_s);
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 2, 10000);
        QCOMPARE(list->item(0)->text(), u"w  (3 行)  ×2"_s);
        QCOMPARE(list->item(1)->text(),
                 u"Uncaught ReferenceError: undefinedName is not defined  (4 行)"_s);
        QCOMPARE(list->item(1)->data(Qt::AccessibleTextRole).toString(),
                 u"エラー: "_s + list->item(1)->text());
        auto *summary = view->console().findChild<QToolButton *>(u"consoleSummary"_s);
        QTRY_VERIFY(summary->text().startsWith(u"エラー 1 件、警告 2 件 — Uncaught"_s));
        QTest::mouseClick(summary, Qt::LeftButton);
        QTRY_VERIFY(list->isVisible());
        // In the window's accessibility tree with their names, beside the page and not inside
        // the view, whose own node holds only the page.
        const QStringList names = testsupport::accessibleNames(form1.get());
        for (const QString &name :
             {u"HTML ソース"_s, u"プレビュー"_s, u"ページ"_s, u"ページのメッセージ"_s,
              u"ページのメッセージの数"_s, u"ページのメッセージの一覧"_s,
              list->item(1)->data(Qt::AccessibleTextRole).toString()})
            QVERIFY2(names.contains(name), qPrintable(name));
        QCOMPARE(view->geometry(), pane);
        QTRY_COMPARE(view->web().focusProxy()->height(), view->height() - view->console().height());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        QCOMPARE(form1->Text1().textCursor().block().blockNumber(), 3);
        QVERIFY(form1->Text1().hasFocus());
        form1->Text1().setText(u"<!DOCTYPE html><html lang=\"ja\"><title>t</title><p>quiet</p>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!view->console().isVisible(), 10000);
        QCOMPARE(view->web().focusProxy()->height(), view->height());

        // A problem of the page's as HTML is listed too, after a pause, and leads to its place.
        // So is what the accessibility check finds, after them.
        form1->Text1().setText(
            u"<!DOCTYPE html><html lang=\"ja\"><title>t</title><p>q</p>\r\n<p>x<img src=a.png></p>"_s);
        QTRY_VERIFY_WITH_TIMEOUT(view->console().isVisible(), 10000);
        QTRY_COMPARE(summary->height(), view->console().height());
        QTRY_COMPARE_WITH_TIMEOUT(summary->text(), u"HTML の問題 1 件、アクセシビリティ 1 件"_s,
                                  20000);
        QTest::mouseClick(summary, Qt::LeftButton);
        QCOMPARE(list->item(0)->text(), u"<img> に alt 属性がありません  (2 行 5 桁)"_s);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(form1->Text1().textCursor().position(), 60);
    }
};

QTEST_MAIN(WebPreviewTest)
#include "tst_webpreview.moc"
