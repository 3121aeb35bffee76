#include <QRegularExpression>
#include <QTest>

#include "source/pageformat.h"
#include "tests/pages.h"

using namespace Qt::StringLiterals;

namespace {

// Every character but white space, and each <pre> and <textarea> whole.
QStringList substance(const QString &page)
{
    static const QRegularExpression kept(
        u"<(pre|textarea)\\b.*?</\\1>"_s,
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    QStringList out{QString(page).remove(QRegularExpression(u"\\s+"_s))};
    for (auto it = kept.globalMatch(page); it.hasNext();)
        out.append(it.next().captured());
    return out;
}

QString format(const QString &page)
{
    return source::formatPage(page, nullptr).value_or(u"(failed)"_s);
}

}  // namespace

// Tidying a page's indentation on the program's own reading of tags.
class PageFormatTest : public QObject {
    Q_OBJECT

private slots:
    void formats_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("expected");
        QTest::addRow("nested, inline kept, references as written")
            << u"<div><p>Hello <b>世界</b> &amp; &copy; &#x1F600;</p><ul><li>a<li>b</ul></div>\n"_s
            << u"<div>\n  <p>Hello <b>世界</b> &amp; &copy; &#x1F600;</p>\n  <ul>\n    "
               u"<li>a<li>b</ul>\n"
               u"</div>\n"_s;
        QTest::addRow("pre and textarea as written, white space between inline tags too")
            << u"<div><pre>  a\n    <b>b</b>  </pre><textarea> x\n  y</textarea> <i>z</i></div>"_s
            << u"<div>\n  <pre>  a\n    <b>b</b>  </pre><textarea> x\n  y</textarea> <i>z</i></div>"_s;
        QTest::addRow("a script's lines indented within it, a blank line kept")
            << u"<body>\n<script>\n    if (a) {\n        b();\n    }\n</script>\n\n\n<p>x</p></body>"_s
            << u"<body>\n  <script>\n    if (a) {\n        b();\n    }\n  </script>\n\n  <p>x</p>\n"
               u"</body>"_s;
        QTest::addRow("one in a line, and a template string, as written")
            << u"<style>p{margin:0}</style><script>\nlet t = `a\n  b`;\n</script>"_s
            << u"<style>p{margin:0}</style>\n<script>\nlet t = `a\n  b`;\n</script>"_s;
        QTest::addRow("a part, from where it stands")
            << u"    <ul><li>a</li></ul>"_s << u"    <ul>\n      <li>a</li>\n    </ul>"_s;
    }
    void formats()
    {
        QFETCH(QString, page);
        QFETCH(QString, expected);
        QCOMPARE(format(page), expected);
    }

    // Real pages tidied keep every character but indentation, and tidying again changes nothing.
    void keepsThePage()
    {
        QList<QString> pages{bookOfSize(30'000)};
        if (const QString manual = readRealPage(kRealPages[0]); !manual.isEmpty())
            pages.append(manual);
        for (QString page : std::as_const(pages)) {
            // As the editor hands it over.
            page.replace(u"\r\n"_s, u"\n"_s);
            const QString tidied = format(page);
            QCOMPARE(substance(tidied), substance(page));
            QCOMPARE(format(tidied), tidied);
        }
    }
};

QTEST_GUILESS_MAIN(PageFormatTest)
#include "tst_pageformat.moc"
