#pragma once

#include <QString>

#include "engine/textfile.h"

// An HTML page of about the given size in UTF-8, Japanese and ASCII mixed as in a real page.
inline QString htmlOfSize(qsizetype bytes)
{
    using namespace Qt::StringLiterals;
    QString text = u"<!DOCTYPE html>\r\n<html><body>\r\n"_s;
    const QString line =
        u"<p class=\"x\">日本語のテキスト and some ASCII text to fill a line.</p>\r\n"_s;
    const qsizetype lineBytes = line.toUtf8().size();
    qsizetype size = text.toUtf8().size();
    while (size + lineBytes <= bytes) {
        text += line;
        size += lineBytes;
    }
    return text + QString(bytes - size, u'x');
}

// A book as a page: a style sheet, chapters of paragraphs with inline markup, notes in
// comments, a table now and then and a script at the end, about the given size in UTF-8.
inline QString bookOfSize(qsizetype bytes)
{
    using namespace Qt::StringLiterals;
    QString text =
        u"<!DOCTYPE html>\r\n<html lang=\"ja\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
        u"<title>本の題名</title>\r\n<style>\r\n"
        u"  body { font: 16px/1.8 serif; margin: 0 auto; max-width: 40em; }\r\n"
        u"  h2.chapter { border-bottom: 1px solid #ccc; margin-top: 3em; }\r\n"
        u"  p { text-indent: 1em; }\r\n</style>\r\n</head>\r\n<body>\r\n"_s;
    const QString tail =
        u"<script>\r\n  for (const a of document.querySelectorAll('a')) {\r\n"
        u"    a.title = a.textContent; // 説明\r\n  }\r\n</script>\r\n"
        u"</body>\r\n</html>\r\n"_s;
    qsizetype size = (text + tail).toUtf8().size();
    for (int chapter = 1; size < bytes; ++chapter) {
        QString part =
            u"<h2 class=\"chapter\" id=\"c%1\">第%1章</h2>\r\n"
            u"<!-- 第%1章の注 -->\r\n"_s.arg(chapter);
        for (int i = 0; i < 12; ++i)
            part +=
                u"<p>吾輩は猫である。名前はまだ無い。<em>どこで</em>生れたかとんと見当が"
                u"つかぬ。<a href=\"#c%1\">前の章</a> &amp; some English text, "
                u"with <span class=\"note\">a note</span>.</p>\r\n"_s.arg(chapter);
        if (chapter % 5 == 0)
            part += u"<table>\r\n<tr><th>項目<th>値\r\n<tr><td>一<td>1\r\n</table>\r\n"_s;
        size += part.toUtf8().size();
        text += part;
    }
    return text + tail;
}

// A page of what a parser mends: a table without tbody, end tags left out, a misnested <b>,
// references with and without their ";", inline SVG, a comment, <pre>, a <select>.
inline QString mendedMarkup()
{
    return QStringLiteral(
        uR"(<!DOCTYPE html>
<html lang="ja"><head><meta charset="utf-8"><title>表</title>
<style>td { padding: 2px }</style></head>
<body>
<h1>見出し &amp; 記号 &copy; &#x41; &notin</h1>
<table><tr><td>一<td>二</tr><tr><td>三<td>四</table>
<ul><li>one<li>two <b>bold<li>three</ul>
<p>para one<p>para <i>two
<dl><dt>term<dd>def</dl>
<svg width="40" height="20"><rect x="1" y="1" width="10" height="10"/><text x="12">svg</text></svg>
<!-- a comment -->
<pre>
preformatted
</pre>
<div><span>in <b>bold</b> and <i>it</i></span></div>
<select><option>a<option>b</select>
</body></html>
)");
}

// Real pages that Debian ships, whose lines end in LF alone as pages from Linux, macOS and the
// web do. "bash dev.sh bench" installs their packages; a page not installed is left out.
struct RealPage {
    const char *name;
    const char *path;
};
inline constexpr RealPage kRealPages[] = {
    {"git-rev-parse.html", "/usr/share/doc/git-doc/git-rev-parse.html"},
    {"git user-manual.html", "/usr/share/doc/git-doc/user-manual.html"},
    {"bashref.html", "/usr/share/doc/bash/bashref.html"},
    {"autoconf.html", "/usr/share/doc/autoconf/autoconf.html"},
};

// The page as the editor has it after opening it (its lines end in LF alone), or nothing.
inline QString readRealPage(const RealPage &page)
{
    return engine::ReadTextFile(QString::fromUtf8(page.path)).text;
}

// The same page with its lines ended in CR LF, as Windows saves it.
inline QString withCrLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

// The same page with its line ends taken out, as a minified page is one line.
inline QString asOneLine(QString text)
{
    text.remove(u'\r');
    return text.remove(u'\n');
}
