#include <QRegularExpression>
#include <QTest>

#include "source/completion.h"

using namespace Qt::StringLiterals;
using source::CaretContext;
using Kind = CaretContext::Kind;
using Place = CaretContext::Place;

// What is offered at the caret: read from the text before it as a browser reads a page, and
// taken from VS Code's web data, with notes of our own in Japanese.
class CompletionTest : public QObject {
    Q_OBJECT

    // The text before "|", and the context there; in a stylesheet or a script of its own where
    // a file's name and ":" come first.
    static std::pair<QString, CaretContext> contextAt(const QString &marked)
    {
        const qsizetype file = marked.indexOf(u':');
        const QString name = marked.left(file);
        const bool own = name.contains(u'.');
        const QString before = own ? marked.sliced(file + 1).left(marked.indexOf(u'|') - file - 1)
                                   : marked.left(marked.indexOf(u'|'));
        return {before, source::caretContext(before, source::languageOf(own ? name : u""_s))};
    }
    // The names offered where "|" stands.
    static QStringList offered(const QString &marked)
    {
        const auto [before, context] = contextAt(marked);
        QStringList names;
        for (const source::Suggestion &suggestion : source::Vocabulary::instance().suggestions(
                 context, QStringView(before).sliced(context.start)))
            names.append(suggestion.name);
        return names;
    }

private slots:
    void contexts_data()
    {
        QTest::addColumn<QString>("marked");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("place");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("of");  // the element, attribute or property it belongs to

        const auto row = [](const char *name, const QString &marked, Kind kind, Place place,
                            const QString &typed = {}, const QString &of = {}) {
            QTest::addRow("%s", name) << marked << int(kind) << int(place) << typed << of;
        };
        row("text content", u"<p>hello wor|"_s, Kind::Nothing, Place::Text);
        row("a '<' just typed", u"<p>a <|"_s, Kind::Element, Place::Tag);
        row("an element's name", u"<p><sec|"_s, Kind::Element, Place::Tag, u"sec"_s);
        row("an end tag", u"<p>x</p|"_s, Kind::Nothing, Place::Tag);
        row("after the name and a space", u"<img |"_s, Kind::Attribute, Place::Tag, {}, u"img"_s);
        row("an attribute's name", u"<IMG sr|"_s, Kind::Attribute, Place::Tag, u"sr"_s, u"img"_s);
        row("after a value, no space", u"<a href=\"x\"|"_s, Kind::Nothing, Place::Tag);
        row("after a value and a space", u"<a href=\"x>y\" t|"_s, Kind::Attribute, Place::Tag,
            u"t"_s, u"a"_s);
        row("a value", u"<a target=\"_b|"_s, Kind::Value, Place::Tag, u"_b"_s, u"target"_s);
        row("a value's second word", u"<link rel=\"icon pre|"_s, Kind::Value, Place::Tag, u"pre"_s,
            u"rel"_s);
        row("an unquoted value", u"<input type=ch|"_s, Kind::Value, Place::Tag, u"ch"_s, u"type"_s);
        row("after '='", u"<input type=|"_s, Kind::Nothing, Place::Tag);
        row("a tag over lines", u"<input\n  type=\"text\"\n  na|"_s, Kind::Attribute, Place::Tag,
            u"na"_s, u"input"_s);
        row("a comment", u"<!-- <di|"_s, Kind::Nothing, Place::Comment);
        row("after a comment", u"<!-- a > b --><di|"_s, Kind::Element, Place::Tag, u"di"_s);
        row("a doctype", u"<!DOCTYPE ht|"_s, Kind::Nothing, Place::Tag);
        row("a script", u"<script>if (a <b|"_s, Kind::Nothing, Place::Script);
        row("after a script", u"<script>a = '</b>';</script>\n<b|"_s, Kind::Element, Place::Tag,
            u"b"_s);
        row("a style sheet's selector", u"<style>\nh1|"_s, Kind::Nothing, Place::Style);
        row("a property", u"<style>\nh1 { col|"_s, Kind::CssProperty, Place::Style, u"col"_s);
        row("a second property", u"<style>h1 { color: red; ma|"_s, Kind::CssProperty, Place::Style,
            u"ma"_s);
        row("a keyword", u"<style>h1 { display : fl|"_s, Kind::CssValue, Place::Style, u"fl"_s,
            u"display"_s);
        row("a pseudo-class is a selector", u"<style>a:ho|"_s, Kind::Nothing, Place::Style);
        row("a property after a comment", u"<style>a { /* x; { */ te|"_s, Kind::CssProperty,
            Place::Style, u"te"_s);
        row("a string", u"<style>a { content: \"no|"_s, Kind::Nothing, Place::Style);
        row("after </style>", u"<style>a{}</STYLE>\n<p|"_s, Kind::Element, Place::Tag, u"p"_s);
        row("a style attribute", u"<p style=\"color: red; font-we|"_s, Kind::CssProperty,
            Place::Style, u"font-we"_s);
        row("a style attribute's keyword", u"<p style='font-weight: bo|"_s, Kind::CssValue,
            Place::Style, u"bo"_s, u"font-weight"_s);
        row("a textarea's text", u"<textarea><b|"_s, Kind::Nothing, Place::Script);
        row("a '<' before a space", u"a < b|"_s, Kind::Nothing, Place::Text);
        // A stylesheet or a script of its own, by the file's name.
        row("a stylesheet's selector", u"s.css:h1|"_s, Kind::Nothing, Place::Style);
        row("a stylesheet's property", u"s.css:h1 { col|"_s, Kind::CssProperty, Place::Style,
            u"col"_s);
        row("a script's '<'", u"s.js:if (a <b|"_s, Kind::Nothing, Place::Script);
    }

    void contexts()
    {
        QFETCH(QString, marked);
        QFETCH(int, kind);
        QFETCH(int, place);
        QFETCH(QString, typed);
        QFETCH(QString, of);
        const auto [before, context] = contextAt(marked);
        QCOMPARE(int(context.kind), kind);
        QCOMPARE(int(context.place), place);
        if (context.kind == Kind::Nothing)
            return;
        QCOMPARE(before.sliced(context.start), typed);
        QCOMPARE(context.element + context.attribute + context.property,
                 kind == int(Kind::Value) ? u"%1%2"_s.arg(context.element, of) : of);
    }

    void offeredAtTheCaret_data()
    {
        QTest::addColumn<QString>("marked");
        QTest::addColumn<QStringList>("first");  // the names offered first, in order
        QTest::addColumn<int>("count");          // how many in all; -1: more than shown

        QTest::addRow("elements by '<'") << u"<|"_s << QStringList{u"a"_s, u"abbr"_s} << -1;
        QTest::addRow("elements by their start") << u"<ta|"_s << QStringList{u"table"_s} << 1;
        QTest::addRow("case aside") << u"<TA|"_s << QStringList{u"table"_s} << 1;
        QTest::addRow("typed in full, nothing left") << u"<table|"_s << QStringList{} << 0;
        QTest::addRow("typed past the list") << u"<tablex|"_s << QStringList{} << 0;
        QTest::addRow("the element's own and the global attributes")
            << u"<img a|"_s << QStringList{u"accesskey"_s, u"alt"_s, u"aria-activedescendant"_s}
            << -1;
        QTest::addRow("another element's attribute is not offered")
            << u"<p hre|"_s << QStringList{} << 0;
        QTest::addRow("values of target")
            << u"<a target=\"|"_s << QStringList{u"_self"_s, u"_blank"_s, u"_parent"_s, u"_top"_s}
            << 4;
        QTest::addRow("values of a global attribute")
            << u"<p dir='|"_s << QStringList{u"ltr"_s, u"rtl"_s, u"auto"_s} << 3;
        QTest::addRow("a value with no set") << u"<a href=\"|"_s << QStringList{} << 0;
        QTest::addRow("CSS properties, unprefixed")
            << u"<style>p { margin-b|"_s
            << QStringList{u"margin-block"_s, u"margin-block-end"_s, u"margin-block-start"_s,
                           u"margin-bottom"_s}
            << 4;
        QTest::addRow("prefixed ones for who types '-'")
            << u"<p style=\"-webkit-box-f|"_s
            << QStringList{u"-webkit-box-flex"_s, u"-webkit-box-flex-group"_s} << 2;
        QTest::addRow("a keyword property's keywords")
            << u"<style>p { display: in|"_s
            << QStringList{u"inline"_s, u"inline-block"_s, u"inline-flex"_s} << -1;
        QTest::addRow("text content offers nothing") << u"<p>ta|"_s << QStringList{} << 0;
    }

    void offeredAtTheCaret()
    {
        QFETCH(QString, marked);
        QFETCH(QStringList, first);
        QFETCH(int, count);
        const QStringList names = offered(marked);
        QCOMPARE(names.mid(0, first.size()), first);
        if (count >= 0)
            QCOMPARE(names.size(), count);
        else
            QVERIFY(names.size() > first.size());
    }

    // Every element of the data has a note of ours, in Japanese, and the obsolete ones say so:
    // the list never shows the data's English.
    void notesInJapanese()
    {
        const QRegularExpression english(u"[A-Za-z]{2,}"_s);
        const QRegularExpression tag(
            u"<[a-z0-9]+>|\\b(alt|href|title|value|datetime|dir|type|"
            u"JavaScript|CSS|DOM|URL)\\b"_s);
        const CaretContext elements = source::caretContext(u"<"_s);
        const QList<source::Suggestion> all =
            source::Vocabulary::instance().suggestions(elements, {});
        QVERIFY(all.size() > 100);
        for (const source::Suggestion &element : all) {
            QVERIFY2(!element.note.isEmpty(), qPrintable(element.name));
            QVERIFY2(!QString(element.note).remove(tag).contains(english),
                     qPrintable(element.note));
            QCOMPARE(element.obsolete, element.note.contains(u"廃止"_s));
        }
        const auto note = [&all](const QString &name) {
            for (const source::Suggestion &element : all)
                if (element.name == name)
                    return element;
            return source::Suggestion{};
        };
        QVERIFY(note(u"param"_s).obsolete);
        QVERIFY(!note(u"p"_s).obsolete);
        QCOMPARE(note(u"p"_s).note, u"段落"_s);
        // The properties an author uses most have notes of ours too.
        const QList<source::Suggestion> properties = source::Vocabulary::instance().suggestions(
            source::caretContext(u"p { colo"_s, source::Language::Css), u"colo");
        QCOMPARE(properties.value(0).name, u"color"_s);
        QCOMPARE(properties.value(0).note, u"文字の色"_s);
        // A boolean attribute goes in bare.
        const QList<source::Suggestion> hidden =
            source::Vocabulary::instance().suggestions(source::caretContext(u"<p hidd"_s), u"hidd");
        QCOMPARE(hidden.size(), 1);
        QVERIFY(hidden.first().bare);
        QCOMPARE(hidden.first().note, u"どの要素にも使える属性"_s);
    }
};

QTEST_GUILESS_MAIN(CompletionTest)
#include "tst_completion.moc"
