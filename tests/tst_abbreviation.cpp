#include <QTest>

#include "source/abbreviation.h"

using namespace Qt::StringLiterals;

// Emmet's abbreviations as Tab expands them: the text, and its fields marked [like this] in the
// order Tab visits them; a plain word or a mistyped abbreviation expands to nothing.
class AbbreviationTest : public QObject {
    Q_OBJECT

    source::Abbreviations m_abbreviations;

    // The expansion with its fields bracketed and numbered by visit, "" for none.
    static QString marked(const std::optional<source::Expansion> &expansion)
    {
        if (!expansion)
            return {};
        QString text = expansion->text;
        QList<std::pair<qsizetype, QString>> inserts;
        for (qsizetype i = 0; i < expansion->fields.size(); ++i) {
            inserts.append({expansion->fields[i].end, u"]"_s});
            inserts.append({expansion->fields[i].start, u"[%1:"_s.arg(i + 1)});
        }
        // Later places first, so that earlier ones hold.
        std::stable_sort(inserts.begin(), inserts.end(),
                         [](const auto &a, const auto &b) { return a.first > b.first; });
        for (const auto &[at, mark] : inserts)
            text.insert(at, mark);
        return u"%1|%2"_s.arg(expansion->start).arg(text);
    }

private slots:
    void initTestCase() { QVERIFY(!m_abbreviations.isLoaded()); }

    void markup_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QString>("expected");  // start|text, or "" for nothing

        const auto row = [](const char *name, const QString &line, const QString &expected,
                            const QString &charset = u"UTF-8"_s) {
            QTest::addRow("%s", name) << line << charset << expected;
        };
        row("a list", u"ul>li*3"_s,
            u"0|<ul>\n  <li>[1:]</li>\n  <li>[2:]</li>\n  <li>[3:]</li>\n</ul>"_s);
        row("a class, a child and a sibling", u"  div.card>h2+p"_s,
            u"2|<div class=\"card\">\n    <h2>[1:]</h2>\n    <p>[2:]</p>\n  </div>"_s);
        row("an attribute and Japanese text", u"<p>a[href=#top]{上へ}"_s,
            u"3|<a href=\"#top\">上へ</a>"_s);
        row("after text and a tag", u"<li>見出し <b>x</b>em"_s, u""_s);
        row("'!' in Shift_JIS", u"!"_s,
            u"0|<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n  <meta charset=\"Shift_JIS\">\n"
            u"  <meta name=\"viewport\" content=\"width=[1:device-width], "
            u"initial-scale=[2:1.0]\">\n"
            u"  <title>[3:Document]</title>\n</head>\n<body>\n  [4:]\n</body>\n</html>"_s,
            u"Shift_JIS"_s);
        row("a custom element", u"my-card>p"_s, u"0|<my-card>\n  <p>[1:]</p>\n</my-card>"_s);
        row("a bracket in the text", u"p{a)b}"_s, u"0|<p>a)b</p>"_s);
        row("a plain word", u"<p>hello"_s, u""_s);
        row("an element's name alone", u"section"_s, u""_s);
        row("a word with digits", u"h1"_s, u""_s);
        row("prose with a full stop", u"e.g."_s, u""_s);
        row("prose with a name and a dot", u"Mr.Smith"_s, u""_s);
        row("an open bracket", u"div[title"_s, u""_s);
        // Found by fuzzing: Emmet made all 7.8 million, and the program froze.
        row("more made than a page wants", u"!*7799542ptor"_s, u""_s);
        row("repeats multiplied", u"table>tr*40>td*30"_s, u""_s);
        row("a whole page repeated", u"!*746"_s, u""_s);
        row("an open group", u"(ul>li"_s, u""_s);
        row("a trailing operator", u"ul>"_s, u""_s);
        row("a stray bracket", u"div)"_s, u""_s);
        row("nothing before the caret", u"<p> "_s, u""_s);
    }

    void markup()
    {
        QFETCH(QString, line);
        QFETCH(QString, charset);
        QFETCH(QString, expected);
        source::Abbreviations::Settings settings;
        settings.charset = charset;
        settings.baseIndent = line.startsWith(u"  "_s) ? u"  "_s : QString();
        QCOMPARE(marked(m_abbreviations.expandMarkup(line, settings)), expected);
        QVERIFY(m_abbreviations.failure().isEmpty());
    }

    void stylesheet_data()
    {
        QTest::addColumn<QString>("declaration");
        QTest::addColumn<QString>("expected");

        QTest::addRow("a margin") << u"m10"_s << u"0|margin: 10px;"_s;
        QTest::addRow("after indentation") << u"  p10+m5"_s << u"2|padding: 10px;\nmargin: 5px;"_s;
        QTest::addRow("a keyword") << u"d:f"_s << u"0|display: flex;"_s;
        QTest::addRow("a plain word") << u"color"_s << u""_s;
        QTest::addRow("a property being typed") << u"color: re"_s << u""_s;
        QTest::addRow("no such abbreviation") << u"xyz10"_s << u""_s;
    }

    void stylesheet()
    {
        QFETCH(QString, declaration);
        QFETCH(QString, expected);
        QCOMPARE(marked(m_abbreviations.expandStylesheet(declaration, {})), expected);
    }
};

QTEST_GUILESS_MAIN(AbbreviationTest)
#include "tst_abbreviation.moc"
