#include <QRandomGenerator>
#include <QTest>
#include <thread>

#include "source/htmlsource.h"
#include "source/pagelinks.h"
#include "source/pagepatch.h"
#include "source/pagewidths.h"
#include "source/search.h"
#include "source/stylesheetrules.h"

using namespace Qt::StringLiterals;
using source::Colour;
using source::HtmlSource;

namespace {

// A real page as the editor holds it: a style sheet, a script with "<" in it, a table without
// tbody, paragraphs and list items left open, an entity, a comment, inline SVG.
const QString kPage =
    u"<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
    u"<style>\n  p.note { color: #345; margin: 0 4px; }\n</style>\n</head>\n"
    u"<body>\n<!-- 目次 -->\n<div id=\"main\">\n<p>日本語 &amp; text\n"
    u"<p>second<br>line\n<ul>\n  <li>one\n  <li>two\n</ul>\n"
    u"<table>\n<tr><td>a<td>b\n</table>\n"
    u"<svg width=\"10\"><circle r=\"4\"/></svg>\n</div>\n"
    u"<script>\n  if (a < 3) { const s = 'x'; }\n</script>\n</body>\n</html>\n"_s;

// The colour of every character, as one string of digits.
QString paint(const HtmlSource &parse)
{
    QString out(parse.size(), u'0');
    for (const source::ColourSpan &span : parse.colours({0, parse.size()}))
        for (qsizetype i = span.start; i < span.start + span.length; ++i)
            out[i] = QChar(u'0' + int(span.colour));
    return out;
}

QString colourOf(const HtmlSource &parse, const QString &text, qsizetype offset = 0)
{
    const qsizetype at = parse.text().indexOf(text) + offset;
    return paint(parse).mid(at, 1);
}

}  // namespace

// What the editor knows of a page: colours from the grammars' queries, tag pairs, and a parse
// that edits keep exactly as a fresh one would be.
class SourceTest : public QObject {
    Q_OBJECT

private slots:
    void colours_data()
    {
        QTest::addColumn<QString>("text");  // its first character is checked
        QTest::addColumn<Colour>("colour");
        QTest::addRow("tag name") << u"div id"_s << Colour::TagName;
        QTest::addRow("attribute name") << u"id=\"main\""_s << Colour::AttributeName;
        QTest::addRow("attribute value") << u"main\""_s << Colour::String;
        QTest::addRow("comment") << u"<!-- 目次"_s << Colour::Comment;
        QTest::addRow("entity") << u"&amp;"_s << Colour::Entity;
        QTest::addRow("doctype") << u"DOCTYPE"_s << Colour::Keyword;
        QTest::addRow("CSS property") << u"color:"_s << Colour::CssProperty;
        QTest::addRow("CSS number") << u"4px"_s << Colour::Number;
        QTest::addRow("script keyword") << u"if (a"_s << Colour::Keyword;
        QTest::addRow("script number after <") << u"3) {"_s << Colour::Number;
        QTest::addRow("script string") << u"'x'"_s << Colour::String;
        QTest::addRow("plain text") << u"日本語"_s << Colour::None;
    }
    void colours()
    {
        QFETCH(QString, text);
        QFETCH(Colour, colour);
        HtmlSource parse;
        parse.setText(kPage);
        parse.parse();
        QCOMPARE(colourOf(parse, text), QString(QChar(u'0' + int(colour))));
    }

    // A stylesheet or a script of its own is read whole in its language: what looks like a tag
    // there is not one.
    void documentColours_data()
    {
        QTest::addColumn<source::Language>("language");
        QTest::addColumn<QString>("text");  // its first character is checked
        QTest::addColumn<Colour>("colour");
        QTest::addRow("a stylesheet's property")
            << source::Language::Css << u"color"_s << Colour::CssProperty;
        QTest::addRow("a tag in a stylesheet's comment")
            << source::Language::Css << u"<b>"_s << Colour::Comment;
        QTest::addRow("a script's keyword")
            << source::Language::JavaScript << u"if"_s << Colour::Keyword;
        QTest::addRow("a tag in a script's string")
            << source::Language::JavaScript << u"<b>"_s << Colour::String;
    }
    void documentColours()
    {
        QFETCH(source::Language, language);
        QFETCH(QString, text);
        QFETCH(Colour, colour);
        const QString document = language == source::Language::JavaScript
                                     ? u"if (a < 3) { f('<b>'); }"_s
                                     : u"a { color: red; } /* <b>x</b> */"_s;
        HtmlSource parse;
        parse.setText(document);
        parse.setLanguage(language);
        parse.parse();
        QCOMPARE(colourOf(parse, text), QString(QChar(u'0' + int(colour))));
        QVERIFY(!parse.tagPairAt(document.indexOf(u"<b>"_s) + 1));
    }

    void tagPairs_data()
    {
        QTest::addColumn<QString>("at");  // the caret goes before its first character
        QTest::addColumn<QString>("pair");
        QTest::addRow("start tag and its end") << u"div id"_s << u"<div </div"_s;
        QTest::addRow("end tag and its start") << u"/div>"_s << u"</div <div"_s;
        QTest::addRow("just after the tag") << u"\n<p>日本"_s << u"<div </div"_s;
        QTest::addRow("p closed by the next p") << u"p>日本"_s << u"<p"_s;
        QTest::addRow("li left open") << u"li>one"_s << u"<li"_s;
        QTest::addRow("void element") << u"br>"_s << u"<br"_s;
        QTest::addRow("tr without tbody") << u"tr><td>a"_s << u"<tr"_s;
        QTest::addRow("inline SVG") << u"svg w"_s << u"<svg </svg"_s;
        QTest::addRow("in text") << u"econd"_s << QString();
    }
    void tagPairs()
    {
        QFETCH(QString, at);
        QFETCH(QString, pair);
        HtmlSource parse;
        parse.setText(kPage);
        parse.parse();
        const std::optional<source::TagPair> found = parse.tagPairAt(kPage.indexOf(at));
        QString seen;
        if (found) {
            seen = kPage.mid(found->tag.start, found->tag.end - found->tag.start);
            if (found->partner)
                seen += u' ' + kPage.mid(found->partner->start,
                                         found->partner->end - found->partner->start);
        }
        QCOMPARE(seen, pair);
    }

    // Random edits, parsed at once or on another thread meanwhile: the colours are those of a
    // fresh parse of the same text, and what an edit changed lies within the ranges it reports.
    void editsKeepTheParseExact()
    {
        QRandomGenerator random(20261207);
        const QStringList pieces{u"<"_s,         u">"_s,       u"</div>"_s, u"<script>"_s,
                                 u"</script>"_s, u"<style>"_s, u"<!--"_s,   u"-->"_s,
                                 u"\""_s,        u"x"_s,       u"\n"_s,     u"日本"_s,
                                 u"😀"_s,         u"&lt;"_s,    u"'"_s,      u"{"_s};
        HtmlSource parse;
        parse.setText(kPage);
        parse.parse();
        for (int step = 0; step < 300; ++step) {
            const QString before = paint(parse);
            const qsizetype at = random.bounded(int(parse.size() + 1));
            const qsizetype removed = random.bounded(4) ? 0 : random.bounded(6);
            const QString inserted =
                random.bounded(5) ? pieces[random.bounded(pieces.size())] : QString();
            QList<source::TextRange> changed;
            if (step % 3 == 0) {
                // Parsed aside while more edits come.
                std::unique_ptr<HtmlSource> copy = parse.copyToParse();
                std::thread aside([&] { copy->parse(); });
                changed = parse.edit(at, removed, inserted, HtmlSource::Parse::Later);
                aside.join();
                changed += parse.takeParsed(*copy).value();
                changed += parse.parse();
            } else {
                changed = parse.edit(at, removed, inserted);
            }
            HtmlSource fresh;
            fresh.setText(parse.text());
            fresh.parse();
            const QString after = paint(parse);
            QCOMPARE(after, paint(fresh));
            // Outside what was reported, a character keeps the colour it had.
            QString expected = before;
            expected.replace(at, removed, QString(inserted.size(), u'?'));
            for (qsizetype i = 0; i < after.size(); ++i) {
                const bool reported = std::any_of(changed.cbegin(), changed.cend(), [&](auto &r) {
                    return r.start <= i && i < r.end;
                });
                if (!reported && expected.at(i) != after.at(i))
                    QFAIL(
                        qPrintable(u"step %1: colour at %2 changed unreported"_s.arg(step).arg(i)));
            }
        }
    }

    // Text typed so far, "|" where "</" is being typed: the end tag it should become.
    void elementToClose_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addRow("nested, innermost first") << u"<div><ul><li>a|"_s << u"li"_s;
        QTest::addRow("closed one skipped") << u"<ul><li>a</li>|"_s << u"ul"_s;
        QTest::addRow("after a void element") << u"<div><p>a<br><img src=x>|"_s << u"p"_s;
        QTest::addRow("implicitly closed li") << u"<ul><li>a<li>b</li>|"_s << u"ul"_s;
        QTest::addRow("table without tbody") << u"<table><tr><td>x</td>|"_s << u"tr"_s;
        QTest::addRow("a row closed by the next")
            << u"<table><tr><td>a<tr><td>b</tr>|"_s << u"table"_s;
        QTest::addRow("a paragraph closed by a list") << u"<div><p>a<ul><li>x</ul>|"_s << u"div"_s;
        QTest::addRow("an option closed by the next")
            << u"<select><option>a<option>b</option>|"_s << u"select"_s;
        QTest::addRow("a quoted >") << u"<div title=\"a>b\"><p>x</p>|"_s << u"div"_s;
        QTest::addRow("inline svg") << u"<div><svg><circle/>|"_s << u"svg"_s;
        QTest::addRow("in the middle of a page")
            << u"<html><body><div><p>a|\n<p>x</p></div></body></html>"_s << u"p"_s;
        QTest::addRow("name as written") << u"<DIV class=\"a\">ä|"_s << u"DIV"_s;
        QTest::addRow("inside a script") << u"<div><script>if (a |\n</script></div>"_s << QString();
        QTest::addRow("inside a style") << u"<div><style>p { |}</style></div>"_s << QString();
        QTest::addRow("inside a comment") << u"<div><!-- <b>| -->\n</div>"_s << QString();
        QTest::addRow("inside a start tag") << u"<div><a title=\"|\">x</a></div>"_s << QString();
    }

    void elementToClose()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const qsizetype at = text.indexOf(u'|');
        // As the editor has it: the "</" typed, and more of the page after it.
        text.replace(at, 1, u"</"_s);
        HtmlSource parse;
        parse.setText(text);
        parse.parse();
        QCOMPARE(parse.elementToClose(at).value_or(QString()), expected);
    }

    // Multibyte text, cases, expressions and their mistakes, in one table.
    void search_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("expression");
        QTest::addColumn<QString>("found");  // the matches, joined by "|", or the error's start
        QTest::addRow("plain, any case")
            << u"ＨＴＭＬ"_s << false << false << u"ＨＴＭＬ|ｈｔｍｌ"_s;
        QTest::addRow("expression") << u"[0-9]+件"_s << false << true << u"12件|3件"_s;
        QTest::addRow("no match over a line") << u"件.日本"_s << false << true << QString();
        QTest::addRow("line ends") << u"^日本\\S*$"_s << false << true << u"日本語😀"_s;
        QTest::addRow("empty matches are none") << u"x*"_s << false << true << QString();
        QTest::addRow("invalid") << u"(日本"_s << false << true << u"正規表現が正しくありません"_s;
    }

    void search()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, matchCase);
        QFETCH(bool, expression);
        QFETCH(QString, found);
        const QString text = u"ＨＴＭＬ と ｈｔｍｌ。12件\u2029日本語😀\u2028a.b 3件 😀."_s;
        const auto result = source::findAll(text, {pattern, matchCase, expression});
        if (const QString *error = std::get_if<QString>(&result)) {
            QVERIFY2(error->startsWith(found), qPrintable(*error));
            return;
        }
        QStringList seen;
        for (const source::Match &match : std::get<QList<source::Match>>(result))
            seen.append(text.mid(match.start, match.length));
        QCOMPARE(seen.join(u'|'), found);
    }

    // What a page may hold when it is no page at all: nothing stops the parse or the lookups.
    // The page's elements as the browser makes them, by name; the one a person would point at
    // for the caret at "|", the start tag that a Ctrl+click on some of them leads to, and the
    // one a scroll brings to the top for the line of "|".
    void pageElements_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("element");
        QTest::addColumn<QList<int>>("clicked");  // innermost first
        QTest::addColumn<QString>("tag");         // its start, or nothing
        QTest::addColumn<int>("line");
        QTest::addRow("table without tbody")
            << u"<table>\n<tr><td>a<td>b|\n</table>"_s << u"html head body table tbody tr td td"_s
            << 7 << QList<int>{4, 3, 2, 1} << u"<table>"_s << 5;
        QTest::addRow("paragraphs and items left open")
            << u"<p>one\n<p>two\n<ul><li>a<li>b|</ul>"_s << u"html head body p p ul li li"_s << 7
            << QList<int>{7, 5} << u"<li>b"_s << 5;
        QTest::addRow("inline svg, names as written")
            << u"<svg><linearGradient id=g/><circle r=|4/></svg>"_s
            << u"html head body svg linearGradient circle"_s << 5 << QList<int>{4} << u"<lin"_s
            << 3;
        QTest::addRow("comment, and < in a script")
            << u"<!-- <div> -->\n<script>if (a < b) x = '<p>';</script>\n<p>t|</p>"_s
            << u"html head script body p"_s << 4 << QList<int>{2} << u"<script>"_s << 4;
        QTest::addRow("just before a start tag, after an end tag")
            << u"<p>a</p>|<b>x</b>"_s << u"html head body p b"_s << 4 << QList<int>{4} << u"<b>"_s
            << 3;
        QTest::addRow("what a script put first")
            << u"<div id=a></div>\n<div id=b>|</div>"_s << u"html head body div div div"_s << 5
            << QList<int>{3, 2, 0} << QString() << 5;
        QTest::addRow("thousands a script made, after")
            << u"<p>a<p>|b"_s << u"html head body p p"_s + u" span"_s.repeated(3000) << 4
            << QList<int>{3} << u"<p>a"_s << 3;
        QTest::addRow("a template's content")
            << u"<template><b>|x</b></template>"_s << u"html head template body"_s << 2
            << QList<int>{} << QString() << 2;
        QTest::addRow("a line of text")
            << u"<div>\n<p>a\ntext|\n</div>"_s << u"html head body div p"_s << 4 << QList<int>{3}
            << u"<div>"_s << 4;
        QTest::addRow("at the very end, after an end tag")
            << u"<div><p>a</p>|"_s << u"html head body div p"_s << 3 << QList<int>{4} << u"<p>"_s
            << 3;
    }

    void pageElements()
    {
        QFETCH(QString, text);
        QFETCH(QString, page);
        const qsizetype at = text.indexOf(u'|');
        text.remove(at, 1);
        HtmlSource parse;
        source::PageIndex index;
        index.setText(text);
        index.setElements(page.split(u' '));
        QFETCH(QList<int>, clicked);
        QFETCH(QString, tag);
        // The editor may be ahead of the page: the same tags, moved.
        for (const QString &before : {QString(), u"<!-- typed since -->\n"_s}) {
            const QString now = before + text;
            parse.setText(now);
            parse.parse();
            QTEST(index.elementOf(now, parse.elementsAt(before.size() + at)), "element");
            const std::optional<qsizetype> found = index.startOf(now, clicked);
            QCOMPARE(found ? now.mid(*found, tag.size()) : QString(), tag);
            const qsizetype from = now.left(before.size() + at).lastIndexOf(u'\n') + 1;
            const qsizetype to = now.indexOf(u'\n', before.size() + at);
            QTEST(index.elementOfLine(now, from, to < 0 ? now.size() : to), "line");
        }
    }

    // The widths a page's media rules change at, and the stylesheets it links and imports.
    // The link a Ctrl+click at "|" follows, and the file it leads to from /site.
    void links_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("link");  // "-": none there
        QTest::addColumn<QString>("file");  // "-": none
        QTest::newRow("a stylesheet") << u"<link rel=stylesheet href=\"css/s|.css\">"_s
                                      << u"css/s.css"_s << u"/site/css/s.css"_s;
        QTest::newRow("unquoted, at its end")
            << u"<img src=a.png|>"_s << u"a.png"_s << u"/site/a.png"_s;
        QTest::newRow("query and fragment") << u"<a href='../b%20c.html?v=1&amp;w#top|'>"_s
                                            << u"../b%20c.html?v=1&w#top"_s << u"/b c.html"_s;
        QTest::newRow("a file: URL")
            << u"<script src=\"file:///tmp/|x.js\">"_s << u"file:///tmp/x.js"_s << u"/tmp/x.js"_s;
        QTest::newRow("the web") << u"<a href=\"https://|example.org/\">"_s
                                 << u"https://example.org/"_s << u"-"_s;
        QTest::newRow("no scheme, another host")
            << u"<link href=\"//cdn/|x.css\">"_s << u"//cdn/x.css"_s << u"-"_s;
        QTest::newRow("a fragment") << u"<a href=\"#t|op\">"_s << u"#top"_s << u"-"_s;
        QTest::newRow("on the tag's name") << u"<li|nk href=s.css>"_s << u"-"_s << u"-"_s;
        QTest::newRow("in text after the tag") << u"<p>href=\"s.|css\"</p>"_s << u"-"_s << u"-"_s;
        QTest::newRow("another attribute") << u"<a title=\"s.|css\" href=x>"_s << u"-"_s << u"-"_s;
    }
    void links()
    {
        QFETCH(QString, text);
        QFETCH(QString, link);
        QFETCH(QString, file);
        const qsizetype at = text.indexOf(u'|');
        text.remove(at, 1);
        QCOMPARE(source::linkAt(text, at).value_or(u"-"_s), link);
        if (link != u"-")
            QCOMPARE(source::linkedFile(link, u"/site"_s).value_or(u"-"_s), file);
    }

    // A stylesheet divided as the browser's parser divides it; rules joined by "|".
    void stylesheetRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rules");
        QTest::addRow("rules, at-rules, what lies between")
            << u"<!-- a{x:1} /* b{} */\r\n@import 'x;y.css' ;@media (a;b) { p{} q{} } -->/**/c{}"_s
            << u"a{x:1}|@import 'x;y.css' ;|@media (a;b) { p{} q{} }|c{}"_s;
        QTest::addRow("a ; and a stray } belong to the rule they are in")
            << u"a; b{} } c {d{}} e"_s << u"a; b{}|} c {d{}}|e"_s;
        QTest::addRow("brackets close only what they opened")
            << u"a{ ( } ) } b{ [ ) ] } #{c} @{d}"_s << u"a{ ( } ) }|b{ [ ) ] }|#{c}|@{d}"_s;
        QTest::addRow("strings, escapes and comments hold no brackets")
            << u"a{content:'}'} b{x:\\}} c{y:\"\n} d{/* } */}"_s
            << u"a{content:'}'}|b{x:\\}}|c{y:\"\n}|d{/* } */}"_s;
        QTest::addRow("an unquoted url( holds what it holds")
            << u"a{b:url( x{;'.png)} c{d:URL(\")}\")} e{f:-url((}) }) } g{url(ab{)} h{}"_s
            << u"a{b:url( x{;'.png)}|c{d:URL(\")}\")}|e{f:-url((}) }) }|g{url(ab{)}|h{}"_s;
        QTest::addRow("url spelled with escapes")
            << u"a{b:\\75 rl(}{)} c{u\\rl(}{)} d{}"_s << u"a{b:\\75 rl(}{)}|c{u\\rl(}{)}|d{}"_s;
        QTest::addRow("left open: the rest is the rule's")
            << u"a{x:1} b{x:(1}} /* c{} */ d{} "_s << u"a{x:1}|b{x:(1}} /* c{} */ d{} "_s;
    }
    void stylesheetRules()
    {
        QFETCH(QString, text);
        QFETCH(QString, rules);
        QStringList found;
        for (const QStringView rule : source::stylesheetRules(text))
            found.append(rule.toString());
        QCOMPARE(found.join(u'|'), rules);
    }

    // Read again around an edit only, a sheet's rules are those of its text read whole.
    void stylesheetRulesAfterEdits_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        const QString sheet = u"a { x: 1 }\nb { y: 2 }\n@media s { c { z: 3 } }\nd { }"_s;
        QTest::addRow("a comment begun, to the end") << sheet << QString(sheet).insert(11, u"/*"_s);
        QTest::addRow("a block begun") << sheet << QString(sheet).insert(12, u'{');
        QTest::addRow("the same rule again") << u"a{}a{}"_s << u"a{}a{}a{}"_s;
    }
    void stylesheetRulesAfterEdits()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        const source::SheetRules edited = source::stylesheetRules(
            source::SheetRules{before, source::stylesheetRules(before)}, after);
        QCOMPARE(edited.rules, source::stylesheetRules(after));
    }

    void declarationsOf_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("declarations");  // "-": none to give alone
        QTest::addRow("a rule") << u"a, b { x: '}'; y: (}) }"_s << u" x: '}'; y: (}) "_s;
        QTest::addRow("an at-rule") << u"@page { x: 1 }"_s << u"-"_s;
        QTest::addRow("left open") << u"a { x: ( }"_s << u"-"_s;
    }
    void declarationsOf()
    {
        QFETCH(QString, rule);
        QFETCH(QString, declarations);
        const std::optional<QStringView> found = source::declarationsOf(rule);
        QCOMPARE(found ? found->toString() : u"-"_s, declarations);
    }

    void ruleChange_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("removed");
        QTest::addColumn<QStringList>("inserted");
        const QStringList abc{u"a{}"_s, u"b{}"_s, u"c{}"_s};
        QTest::addRow("one rule changed") << abc << QStringList{u"a{}"_s, u"b{x:1}"_s, u"c{}"_s}
                                          << 1 << 1 << QStringList{u"b{x:1}"_s};
        QTest::addRow("a repeated rule taken away")
            << QStringList{u"a{}"_s, u"a{}"_s} << QStringList{u"a{}"_s} << 1 << 1 << QStringList{};
        QTest::addRow("nothing") << abc << abc << 3 << 0 << QStringList{};
    }
    void ruleChange()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(int, first);
        QFETCH(int, removed);
        QFETCH(QStringList, inserted);
        const auto views = [](const QStringList &rules) {
            return QList<QStringView>(rules.cbegin(), rules.cend());
        };
        const source::RuleChange change = source::ruleChange(views(before), views(after));
        QCOMPARE(change.first, first);
        QCOMPARE(change.removed, removed);
        QCOMPARE(change.inserted, inserted);
    }

    void pageWidths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<QString>("links");
        QTest::addColumn<QString>("imports");
        QTest::addRow("min and max, em and rem, each once")
            << u"@media (max-width: 600px) {} @media screen and (min-width:48em) and "
               u"(max-width: 600px) {} @media (MIN-WIDTH: 2.5rem) {}"_s
            << QList<int>{40, 600, 768} << QString() << QString();
        QTest::addRow("range syntax") << u"@media (width >= 900px) and (1200px > width) {}"_s
                                      << QList<int>{900, 1200} << QString() << QString();
        QTest::addRow("commented out, or not the viewport's width")
            << u"/* @media (max-width: 10px) */ @media (min-height: 500px), "
               u"(max-device-width: 300px), (min-width: 0px) {}"_s
            << QList<int>{} << QString() << QString();
        QTest::addRow("links and imports")
            << u"<link rel=\"stylesheet\" href=\"a.css\"><LINK REL=Stylesheet "
               u"HREF=b.css?x=1&amp;y=2><link rel=\"alternate stylesheet\" href=c.css>"
               u"<link rel=icon href=d.png><style>@import url('e.css'); @import \"f.css\" "
               u"screen;</style>"_s
            << QList<int>{} << u"a.css b.css?x=1&y=2"_s << u"e.css f.css"_s;
    }
    void pageWidths()
    {
        QFETCH(QString, text);
        QTEST(source::mediaWidths(text), "widths");
        QTEST(source::stylesheetLinks(text).join(u' '), "links");
        QTEST(source::cssImports(text).join(u' '), "imports");
    }

    void badInputParses()
    {
        QString binary;
        QRandomGenerator random(7);
        for (int i = 0; i < 200000; ++i)
            binary += QChar(char16_t(random.bounded(1, 0xd7ff)));
        for (const QString &text :
             {u"<"_s, u"<<<>>></"_s, u"<div <p <script>"_s, u"<!-- never closed"_s, binary}) {
            HtmlSource parse;
            parse.setText(text);
            parse.parse();
            QVERIFY(parse.isCurrent());
            parse.colours({0, parse.size()});
            for (qsizetype at = 0; at <= std::min<qsizetype>(text.size(), 50); ++at)
                parse.tagPairAt(at), parse.elementToClose(at);
            parse.edit(parse.size() / 2, 3, u"<script>"_s);
            QVERIFY(parse.isCurrent());
        }
    }
};

QTEST_GUILESS_MAIN(SourceTest)
#include "tst_source.moc"
