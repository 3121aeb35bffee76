#include "source/pagecheck.h"

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <memory>

#include "source/htmltokenizer.h"
#include "source/htmlvocabulary.h"

using namespace Qt::StringLiterals;

namespace source {
namespace {

// The validator's words, each once, in Japanese. %1, %2, %3 are its arguments as it gives them:
// an element as "<p>" or as "p", as the key has it.
struct Said {
    const char *key;
    const char16_t *text;
};
constexpr Said kSaid[] = {
    {"MISSING_ENDTAG_BEFORE", u"<%1> が閉じられないまま %2 が来ています"},
    {"MISSING_ENDTAG_FOR", u"<%1> の終了タグ </%1> がありません"},
    {"MISSING_STARTTAG", u"</%1> に対応する開始タグ <%1> がありません"},
    {"NON_MATCHING_ENDTAG", u"終了タグ </%1> に対応する開始タグがありません"},
    {"DISCARDING_UNEXPECTED", u"%1 はここには置けません"},
    {"STRAY_ENDTAG", u"終了タグ %1 に対応する開始タグがありません"},
    {"CANT_BE_NESTED", u"%1 の中に %1 は置けません"},
    {"COERCE_TO_ENDTAG", u"%1 は終了タグの書き誤りのようです"},
    {"PARENT_WANTED", u"ここには %1 で囲む必要があります"},
    {"TOO_MANY_ELEMENTS", u"%1 は一つしか置けません"},
    {"TOO_MANY_ELEMENTS_IN", u"<%1> は一つしか置けません"},
    {"UNEXPECTED_END_OF_FILE", u"%1 の途中でページが終わっています"},
    {"UNEXPECTED_END_OF_FILE_ATTR", u"%1 の属性の途中でページが終わっています"},
    {"CONTENT_AFTER_BODY", u"</body> の後に内容があります"},
    {"MISSING_DOCTYPE", u"ページの先頭に <!DOCTYPE html> がありません"},
    {"MALFORMED_DOCTYPE", u"<!DOCTYPE> の書き方が正しくありません"},
    {"DOCTYPE_AFTER_TAGS", u"<!DOCTYPE> はページの先頭に置きます"},
    {"MISSING_TITLE_ELEMENT", u"<head> に <title> がありません"},
    {"MALFORMED_COMMENT", u"コメントの書き方が正しくありません"},
    {"MALFORMED_COMMENT_DROPPING", u"コメントの書き方が正しくありません"},
    {"MALFORMED_COMMENT_EOS", u"コメントが閉じられないままページが終わっています"},
    {"REMOVED_HTML5", u"%1 は HTML5 で廃止された要素です"},
    {"OBSOLETE_ELEMENT", u"%1 は廃止された要素です (%2 を使います)"},
    {"PROPRIETARY_ELEMENT", u"%1 という要素は HTML にありません"},
    {"UNKNOWN_ELEMENT", u"%1 という要素は HTML にありません"},
    {"UNKNOWN_ELEMENT_LOOKS_CUSTOM", u"%1 という要素は HTML にありません"},
    {"PROPRIETARY_ATTRIBUTE", u"%1 に %2 という属性はありません (綴りを確かめてください)"},
    {"MISMATCHED_ATTRIBUTE_WARN", u"%1 の %2 属性は HTML5 では使えません"},
    {"MISMATCHED_ATTRIBUTE_ERROR", u"%1 の %2 属性は HTML5 では使えません"},
    {"REPEATED_ATTRIBUTE", u"%1 に %3 属性が二度書かれています"},
    {"JOINING_ATTRIBUTE", u"%1 に %2 属性が二度書かれています"},
    {"MISSING_ATTRIBUTE", u"%1 に %2 属性がありません"},
    {"MISSING_ATTR_VALUE", u"%1 の %2 属性に値がありません"},
    {"BAD_ATTRIBUTE_VALUE", u"%1 の %2 属性に「%3」という値は使えません"},
    {"INVALID_ATTRIBUTE", u"%1 の %2 属性の書き方が正しくありません"},
    {"ATTRIBUTE_IS_NOT_ALLOWED", u"%1 に %2 属性は使えません"},
    {"ANCHOR_NOT_UNIQUE", u"%1 の id「%2」はこのページの別の要素でも使われています"},
    {"MISSING_QUOTEMARK", u"%1 の属性値を閉じる引用符がありません"},
    {"UNEXPECTED_QUOTEMARK", u"%1 の中に余分な引用符があります"},
    {"UNEXPECTED_GT", u"%1 のタグが閉じられていません"},
    {"UNEXPECTED_EQUALSIGN", u"%1 の中に余分な = があります"},
    {"ILLEGAL_URI_CODEPOINT", u"%1 の URL に使えない文字 (空白など) があります"},
    {"ILLEGAL_URI_REFERENCE", u"%1 の URL の書き方が正しくありません"},
    {"BACKSLASH_IN_URI", u"%1 の URL に \\ があります (/ を使います)"},
    {"UNKNOWN_ENTITY", u"文字参照 %1 は正しくありません (& そのものは &amp; と書きます)"},
    {"MISSING_SEMICOLON", u"文字参照 %1 の終わりに ; がありません"},
    {"MISSING_SEMICOLON_NCR", u"文字参照 %1 の終わりに ; がありません"},
    {"INVALID_NCR", u"文字参照 %2 は使えない文字を指しています"},
    {"INVALID_SGML_CHARS", u"ページに使えない制御文字があります"},
    {"NOFRAMES_CONTENT", u"%1 はここには置けません"},
};

// What the validator says of a page it repairs, or of what HTML5 allows: nothing to show.
constexpr const char *kNotProblems[] = {
    "INSERTING_TAG",       // its repair of what it said already
    "TRIM_EMPTY_ELEMENT",  // an empty element is valid
    "NESTED_EMPHASIS",     // <b><b> is valid
    "NESTED_QUOTATION",
    "ESCAPED_ILLEGAL_URI",  // said with ILLEGAL_URI_CODEPOINT
    "FIXED_BACKSLASH",     "INSERTING_AUTO_ATTRIBUTE", "UNKNOWN_ELEMENT_LOOKS_CUSTOM",
};

// HTML5's own elements that this validator (5.6) does not know, as it is told of them.
constexpr auto kNewBlockElements = "search, hgroup";
constexpr auto kNewInlineElements = "data, slot";
constexpr const char16_t *kNewElements[] = {u"search", u"hgroup", u"data", u"slot"};

// HTML5's own attributes that it does not know: "*" for every element.
constexpr const char16_t *kNewAttributes[][2] = {
    {u"*", u"popover"},
    {u"*", u"inert"},
    {u"*", u"slot"},
    {u"*", u"part"},
    {u"*", u"exportparts"},
    {u"*", u"nonce"},
    {u"*", u"autocapitalize"},
    {u"*", u"autocorrect"},
    {u"*", u"enterkeyhint"},
    {u"*", u"inputmode"},
    {u"*", u"is"},
    {u"*", u"itemid"},
    {u"*", u"itemref"},
    {u"*", u"autofocus"},
    {u"*", u"virtualkeyboardpolicy"},
    {u"*", u"writingsuggestions"},
    {u"img", u"loading"},
    {u"img", u"decoding"},
    {u"img", u"fetchpriority"},
    {u"img", u"referrerpolicy"},
    {u"iframe", u"allow"},
    {u"iframe", u"loading"},
    {u"iframe", u"referrerpolicy"},
    {u"iframe", u"fetchpriority"},
    {u"link", u"imagesrcset"},
    {u"link", u"imagesizes"},
    {u"link", u"fetchpriority"},
    {u"link", u"referrerpolicy"},
    {u"link", u"blocking"},
    {u"script", u"fetchpriority"},
    {u"script", u"referrerpolicy"},
    {u"script", u"blocking"},
    {u"script", u"nomodule"},
    {u"style", u"blocking"},
    {u"a", u"ping"},
    {u"a", u"referrerpolicy"},
    {u"area", u"ping"},
    {u"area", u"referrerpolicy"},
    {u"button", u"popovertarget"},
    {u"button", u"popovertargetaction"},
    {u"button", u"command"},
    {u"button", u"commandfor"},
    {u"input", u"popovertarget"},
    {u"input", u"popovertargetaction"},
    {u"input", u"dirname"},
    {u"input", u"alpha"},
    {u"input", u"colorspace"},
    {u"textarea", u"dirname"},
    {u"video", u"muted"},
    {u"video", u"playsinline"},
    {u"video", u"disablepictureinpicture"},
    {u"video", u"disableremoteplayback"},
    {u"audio", u"muted"},
    {u"audio", u"disableremoteplayback"},
    {u"details", u"name"},
    {u"dialog", u"closedby"},
    {u"form", u"rel"},
    {u"meta", u"media"},
    {u"template", u"shadowrootmode"},
    {u"template", u"shadowrootdelegatesfocus"},
    {u"template", u"shadowrootclonable"},
    {u"template", u"shadowrootserializable"},
};

struct Reported {
    int line = 0;
    int column = 0;
    QByteArray key;
    QStringList arguments;
};

Bool TIDY_CALL heard(TidyMessage message)
{
    auto *reports = static_cast<QList<Reported> *>(tidyGetAppData(tidyGetMessageDoc(message)));
    // Its notes (unquoted values, optional end tags left out, custom elements) are HTML5.
    if (tidyGetMessageLevel(message) != TidyError && tidyGetMessageLevel(message) != TidyWarning)
        return no;
    Reported reported{
        tidyGetMessageLine(message), tidyGetMessageColumn(message), tidyGetMessageKey(message), {}};
    if (reported.line <= 0)
        return no;
    for (TidyIterator it = tidyGetMessageArguments(message); it;) {
        TidyMessageArgument argument = tidyGetNextMessageArgument(message, &it);
        switch (tidyGetArgType(message, &argument)) {
        case tidyFormatType_STRING:
            reported.arguments.append(QString::fromUtf8(tidyGetArgValueString(message, &argument)));
            break;
        case tidyFormatType_INT:
            reported.arguments.append(QString::number(tidyGetArgValueInt(message, &argument)));
            break;
        case tidyFormatType_UINT:
            reported.arguments.append(QString::number(tidyGetArgValueUInt(message, &argument)));
            break;
        default:
            reported.arguments.append(QString());
        }
    }
    reports->append(std::move(reported));
    return no;  // nothing of it is printed
}

// The text as the validator is to read it: the same lines and the same characters in each up
// to any place, with what it misreads of HTML5 blanked out. It takes the content of a
// <template> for the document's own, ruby's rt and rp for strangers, a <div> that groups the
// terms of a <dl> as a break in the list, an <optgroup> after an option left open as the end of
// the <select>, and a <caption> left open as the end of the table.
// The text as the validator counts its characters: a surrogate pair is one.
QString asCharacters(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())
            continue;
        out.append(c.isNull() ? QChar(QChar::ReplacementCharacter) : c);
    }
    return out;
}

// Of the template whose start tag is the token at open, the token that closes it, nested
// templates and all; -1 for none.
qsizetype templateEnd(const QList<PageToken> &tokens, qsizetype open)
{
    int depth = 0;
    for (qsizetype k = open; k < tokens.size(); ++k) {
        if (tokens[k].name != u"template")
            continue;
        depth += tokens[k].kind == PageToken::Kind::Start ? 1 : -1;
        if (depth == 0)
            return k;
    }
    return -1;
}

// Of a caption whose start tag is the token at open, where a part of the table closes it when
// it is left open; -1 when its own end tag does.
qsizetype captionClosedByTable(const QList<PageToken> &tokens, qsizetype open)
{
    static const QSet<QString> kTableParts{u"colgroup"_s, u"col"_s, u"thead"_s, u"tbody"_s,
                                           u"tfoot"_s,    u"tr"_s,  u"table"_s};
    for (qsizetype k = open + 1; k < tokens.size(); ++k) {
        const PageToken &t = tokens[k];
        if (t.kind == PageToken::Kind::End && t.name == u"caption")
            return -1;
        if (kTableParts.contains(t.name))
            return t.start;
    }
    return -1;
}

QString readable(QStringView text)
{
    QString out = asCharacters(text);
    // Positions in out are characters; blanking keeps them.
    const auto blank = [&out](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to && i < out.size(); ++i)
            if (out[i] != u'\n')
                out[i] = u' ';
    };
    static const QSet<QString> kRuby{u"rt"_s, u"rp"_s, u"rb"_s, u"rtc"_s};
    // Read as a validator reads the page, with scripting off.
    QList<PageToken> tokens;
    readTokens(out, 0, 0, tokens, html::Scripting::Off);
    int inList = 0;
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        const PageToken &t = tokens[k];
        if (t.kind != PageToken::Kind::Start && t.kind != PageToken::Kind::End)
            continue;
        const bool closing = t.kind == PageToken::Kind::End;
        if (t.name == u"dl")
            inList = std::max(0, inList + (closing ? -1 : 1));
        if (!closing && t.name == u"template") {
            const qsizetype close = templateEnd(tokens, k);
            blank(t.end, close < 0 ? out.size() : tokens[close].start);
            if (close < 0)
                break;
            k = close;
            continue;
        }
        if (kRuby.contains(t.name) || t.name == u"optgroup" || (inList > 0 && t.name == u"div")) {
            blank(t.start, t.end);
            continue;
        }
        // A caption left open up to a part of the table: everything of it is blanked.
        if (!closing && t.name == u"caption")
            if (const qsizetype next = captionClosedByTable(tokens, k); next >= 0)
                blank(t.start, next);
    }
    return out;
}

// Where each line starts in the text.
QList<qsizetype> lineStarts(QStringView text)
{
    QList<qsizetype> starts{0};
    for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', at + 1))
        starts.append(at + 1);
    return starts;
}

// From the validator's line and column (from 1, in characters of the page) to the text's.
qsizetype positionOf(QStringView text, const QList<qsizetype> &starts, int line, int column)
{
    qsizetype at = starts[std::min<qsizetype>(line, starts.size()) - 1];
    for (int counted = 1; counted < column && at < text.size() && text[at] != u'\n'; ++counted)
        at += text[at].isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
    return at;
}

// What to underline at position: the tag or the character reference there, else a character.
qsizetype extentAt(QStringView text, qsizetype position)
{
    if (position >= text.size())
        return 0;
    const qsizetype lineEnd = [&] {
        const qsizetype end = text.indexOf(u'\n', position);
        return end < 0 ? text.size() : end;
    }();
    if (text[position] == u'<') {
        const qsizetype end = text.indexOf(u'>', position);
        return (end < 0 || end >= lineEnd ? lineEnd : end + 1) - position;
    }
    if (text[position] == u'&') {
        qsizetype end = position + 1;
        while (end < lineEnd && (text[end].isLetterOrNumber() || text[end] == u'#'))
            ++end;
        if (end < lineEnd && text[end] == u';')
            ++end;
        return end - position;
    }
    return 1;
}

QString bare(QString element)
{
    return element.remove(u'<').remove(u'>').remove(u'/');
}

// An id given exactly twice or more: the validator compares them as HTML 4 did, without case.
bool isRepeatedId(QStringView text, const QString &id)
{
    const QRegularExpression given(u"\\b(?:id|name)\\s*=\\s*([\"']?)"_s +
                                   QRegularExpression::escape(id) + u"\\1(?=[\\s/>])"_s);
    auto it = given.globalMatch(text);
    return it.hasNext() && (it.next(), it.hasNext());
}

bool isNewAttribute(const QString &element, const QString &attribute)
{
    return std::any_of(std::begin(kNewAttributes), std::end(kNewAttributes), [&](const auto &pair) {
        return (pair[0] == u"*"_s || pair[0] == element) && pair[1] == attribute;
    });
}

// Whether what the validator reported is a problem of the page as HTML5 has it.
bool isProblem(const Reported &reported, QStringView text, qsizetype position)
{
    const QByteArray &key = reported.key;
    const QStringList &args = reported.arguments;
    const auto arg = [&args](int i) { return i < args.size() ? args[i] : QString(); };
    if (std::any_of(std::begin(kNotProblems), std::end(kNotProblems),
                    [&key](const char *not_) { return key == not_; }))
        return false;
    const QString element = bare(arg(0));
    // A custom element takes any attribute, and HTML5's newer ones are unknown to it.
    if (key == "PROPRIETARY_ATTRIBUTE" || key == "MISMATCHED_ATTRIBUTE_WARN" ||
        key == "MISMATCHED_ATTRIBUTE_ERROR")
        return !element.contains(u'-') && !arg(1).startsWith(u"on"_s) &&
               !isNewAttribute(element, arg(1).toLower());
    if (key == "BAD_ATTRIBUTE_VALUE")
        return !element.contains(u'-') && arg(1) != u"is"_s;
    if (key == "PROPRIETARY_ELEMENT" || key == "UNKNOWN_ELEMENT")
        return std::none_of(std::begin(kNewElements), std::end(kNewElements),
                            [&element](const char16_t *name) { return element == name; });
    // A few lines tried out are not yet a page.
    if (key == "MISSING_DOCTYPE" || key == "MISSING_TITLE_ELEMENT")
        return text.contains(u"<html"_s, Qt::CaseInsensitive) ||
               text.contains(u"<head"_s, Qt::CaseInsensitive);
    // Of HTML 4: obsolete in HTML5.
    if (key == "MISSING_ATTRIBUTE")
        return arg(1) != u"summary"_s && arg(1) != u"type"_s;
    if (key == "ANCHOR_NOT_UNIQUE")
        return isRepeatedId(text, arg(1));
    // HTML5 names two thousand characters; the validator knows HTML 4's. A name it does not
    // know, ended by ";", is left to the browser.
    if (key == "UNKNOWN_ENTITY") {
        static const QRegularExpression named(u"&[A-Za-z][A-Za-z0-9]*;"_s);
        return !named
                    .match(text, position, QRegularExpression::NormalMatch,
                           QRegularExpression::AnchorAtOffsetMatchOption)
                    .hasMatch();
    }
    return true;
}

}  // namespace

QString problemText(const QByteArray &key, const QStringList &arguments)
{
    QStringList args = arguments;
    for (QString &arg : args)
        if (arg == u"plain text"_s)
            arg = u"文字"_s;
    // An end tag out of place is one without its start.
    if (key == "DISCARDING_UNEXPECTED" && !args.isEmpty() && args[0].startsWith(u"</"))
        return problemText("STRAY_ENDTAG", args);
    for (const Said &said : kSaid) {
        if (key != said.key)
            continue;
        QString text = QString::fromUtf16(said.text);
        for (qsizetype i = 0; i < 3; ++i)
            text.replace(u'%' + QString::number(i + 1), i < args.size() ? args[i] : QString());
        return text;
    }
    args.removeAll(QString());
    return args.isEmpty() ? u"ここは HTML として正しくありません"_s
                          : u"ここは HTML として正しくありません (%1)"_s.arg(args.join(u"、"));
}

QList<Problem> checkPage(QStringView text, const std::atomic<bool> *cancelled)
{
    const auto stopped = [cancelled] { return cancelled && cancelled->load(); };
    if (text.isEmpty() || stopped())
        return {};
    const QByteArray read = readable(text).toUtf8();

    QList<Reported> reports;
    std::unique_ptr<std::remove_pointer_t<TidyDoc>, void (*)(TidyDoc)> doc(tidyCreate(),
                                                                           tidyRelease);
    TidyBuffer said{};
    tidyBufInit(&said);
    tidySetAppData(doc.get(), &reports);
    tidySetMessageCallback(doc.get(), heard);
    tidySetErrorBuffer(doc.get(), &said);
    tidyOptSetValue(doc.get(), TidyCharEncoding, "utf8");
    tidyOptSetValue(doc.get(), TidyDoctype, "html5");
    tidyOptSetInt(doc.get(), TidyTabSize, 1);  // columns in characters
    tidyOptSetInt(doc.get(), TidyShowErrors, 1 << 30);
    tidyOptSetBool(doc.get(), TidyDropEmptyElems, no);
    tidyOptSetBool(doc.get(), TidyQuiet, yes);
    tidyOptSetValue(doc.get(), TidyUseCustomTags, "blocklevel");
    tidyOptSetValue(doc.get(), TidyBlockTags, kNewBlockElements);
    tidyOptSetValue(doc.get(), TidyInlineTags, kNewInlineElements);
    // The attributes are checked as the document is repaired.
    if (tidyParseString(doc.get(), read.constData()) >= 0 && !stopped())
        tidyCleanAndRepair(doc.get());
    doc.reset();
    tidyBufFree(&said);
    if (stopped())
        return {};

    // Where the validator opened an element again itself, what it says of that element there
    // is of its own making.
    QSet<std::pair<int, int>> reopened;
    for (const Reported &reported : std::as_const(reports))
        if (reported.key == "INSERTING_TAG")
            reopened.insert({reported.line, reported.column});

    const QList<qsizetype> starts = lineStarts(text);
    QList<Problem> problems;
    for (const Reported &reported : std::as_const(reports)) {
        const qsizetype position = positionOf(text, starts, reported.line, reported.column);
        const bool strayEnd =
            reported.key == "INSERTING_TAG" && text.sliced(position).startsWith(u"</");
        if ((reported.key == "MISSING_ENDTAG_BEFORE" || reported.key == "MISSING_ENDTAG_FOR") &&
            reopened.contains({reported.line, reported.column}))
            continue;
        if (!strayEnd && !isProblem(reported, text, position))
            continue;
        Problem problem{
            reported.line,
            int(position - starts[std::min<qsizetype>(reported.line, starts.size()) - 1]) + 1,
            position,
            extentAt(text, position),
            reported.key,
            {}};
        // A stray </p>: the browser makes an empty paragraph of it.
        if (strayEnd) {
            problem.key = "STRAY_ENDTAG";
            problem.message =
                problemText(problem.key, {text.sliced(position, problem.length).toString()});
        } else {
            problem.message = problemText(reported.key, reported.arguments);
        }
        if (!problems.contains(problem))
            problems.append(problem);
    }
    std::stable_sort(problems.begin(), problems.end(),
                     [](const Problem &a, const Problem &b) { return a.position < b.position; });
    return problems;
}

}  // namespace source
