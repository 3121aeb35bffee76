#include "source/htmlvocabulary.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace source::html {

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

QString lowered(QStringView name)
{
    QString lower = name.toString();
    for (QChar &c : lower)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return lower;
}

bool isVoid(const QString &name)
{
    static const QSet<QString> kVoid{
        u"area"_s,  u"base"_s,  u"basefont"_s, u"bgsound"_s, u"br"_s,    u"col"_s,
        u"embed"_s, u"frame"_s, u"hr"_s,       u"img"_s,     u"input"_s, u"keygen"_s,
        u"link"_s,  u"meta"_s,  u"param"_s,    u"source"_s,  u"track"_s, u"wbr"_s};
    return kVoid.contains(name);
}

bool isRawText(const QString &name, Scripting scripting)
{
    static const QSet<QString> kRaw{u"script"_s,  u"style"_s,    u"xmp"_s,      u"iframe"_s,
                                    u"noembed"_s, u"noframes"_s, u"plaintext"_s};
    return kRaw.contains(name) || isEscapableRawText(name) ||
           (scripting == Scripting::On && name == u"noscript"_s);
}

bool isEscapableRawText(const QString &name)
{
    return name == u"textarea"_s || name == u"title"_s;
}

bool isFormatting(const QString &name)
{
    static const QSet<QString> kFormatting{
        u"a"_s,    u"b"_s, u"big"_s,   u"code"_s,   u"em"_s,     u"font"_s, u"i"_s,
        u"nobr"_s, u"s"_s, u"small"_s, u"strike"_s, u"strong"_s, u"tt"_s,   u"u"_s};
    return kFormatting.contains(name);
}

bool isTablePart(const QString &name)
{
    static const QSet<QString> kTable{u"table"_s, u"caption"_s, u"colgroup"_s, u"col"_s, u"tbody"_s,
                                      u"thead"_s, u"tfoot"_s,   u"tr"_s,       u"td"_s,  u"th"_s};
    return kTable.contains(name);
}

bool isBlock(const QString &name)
{
    static const QSet<QString> kBlocks{
        u"html"_s,    u"head"_s,     u"body"_s,     u"title"_s,      u"meta"_s,     u"link"_s,
        u"base"_s,    u"style"_s,    u"script"_s,   u"noscript"_s,   u"template"_s, u"div"_s,
        u"p"_s,       u"ul"_s,       u"ol"_s,       u"li"_s,         u"dl"_s,       u"dt"_s,
        u"dd"_s,      u"menu"_s,     u"table"_s,    u"caption"_s,    u"colgroup"_s, u"col"_s,
        u"thead"_s,   u"tbody"_s,    u"tfoot"_s,    u"tr"_s,         u"td"_s,       u"th"_s,
        u"section"_s, u"article"_s,  u"nav"_s,      u"aside"_s,      u"header"_s,   u"footer"_s,
        u"main"_s,    u"h1"_s,       u"h2"_s,       u"h3"_s,         u"h4"_s,       u"h5"_s,
        u"h6"_s,      u"hgroup"_s,   u"address"_s,  u"blockquote"_s, u"figure"_s,   u"figcaption"_s,
        u"form"_s,    u"fieldset"_s, u"legend"_s,   u"details"_s,    u"summary"_s,  u"dialog"_s,
        u"hr"_s,      u"pre"_s,      u"optgroup"_s, u"option"_s,     u"search"_s,   u"center"_s};
    return kBlocks.contains(name);
}

bool isSelectPart(const QString &name)
{
    return name == u"select"_s || name == u"option"_s || name == u"optgroup"_s;
}

qsizetype closedBy(const QString &name, const QStringList &open)
{
    // Start tags that close a <p> open around them.
    static const QSet<QString> kClosesP{
        u"address"_s, u"article"_s, u"aside"_s,   u"blockquote"_s, u"center"_s,   u"details"_s,
        u"dialog"_s,  u"dir"_s,     u"div"_s,     u"dl"_s,         u"fieldset"_s, u"figcaption"_s,
        u"figure"_s,  u"footer"_s,  u"header"_s,  u"hgroup"_s,     u"main"_s,     u"menu"_s,
        u"nav"_s,     u"ol"_s,      u"p"_s,       u"search"_s,     u"section"_s,  u"summary"_s,
        u"ul"_s,      u"h1"_s,      u"h2"_s,      u"h3"_s,         u"h4"_s,       u"h5"_s,
        u"h6"_s,      u"pre"_s,     u"listing"_s, u"form"_s,       u"table"_s,    u"hr"_s,
        u"xmp"_s,     u"li"_s,      u"dd"_s,      u"dt"_s,         u"plaintext"_s};
    // Where the look for an element to close stops.
    static const QSet<QString> kScope{u"applet"_s, u"button"_s,   u"caption"_s, u"html"_s,
                                      u"table"_s,  u"td"_s,       u"th"_s,      u"marquee"_s,
                                      u"object"_s, u"template"_s, u"ol"_s,      u"ul"_s,
                                      u"dl"_s,     u"select"_s,   u"svg"_s,     u"math"_s};
    // The innermost of names open below any element of stop: from there on all close.
    const auto upTo = [&](std::initializer_list<QStringView> names,
                          const QSet<QString> &stop) -> qsizetype {
        for (qsizetype k = open.size() - 1; k >= 0; --k) {
            if (std::find(names.begin(), names.end(), QStringView(open[k])) != names.end())
                return open.size() - k;
            if (stop.contains(open[k]))
                return 0;
        }
        return 0;
    };
    static const QSet<QString> kSection{u"table"_s, u"html"_s, u"template"_s};
    static const QSet<QString> kRow{u"tbody"_s, u"thead"_s, u"tfoot"_s,
                                    u"table"_s, u"html"_s,  u"template"_s};
    static const QSet<QString> kCell{u"tr"_s,    u"tbody"_s, u"thead"_s,   u"tfoot"_s,
                                     u"table"_s, u"html"_s,  u"template"_s};
    static const QSet<QString> kSelect{u"select"_s, u"html"_s, u"template"_s};
    if (name == u"li")
        return std::max(upTo({u"li"}, kScope), upTo({u"p"}, kScope));
    if (name == u"dt" || name == u"dd")
        return std::max(upTo({u"dt", u"dd"}, kScope), upTo({u"p"}, kScope));
    if (name == u"td" || name == u"th")
        return upTo({u"td", u"th"}, kCell);
    if (name == u"tr")
        return upTo({u"tr"}, kRow);
    if (name == u"tbody" || name == u"thead" || name == u"tfoot")
        return upTo({u"tbody", u"thead", u"tfoot"}, kSection);
    if (name == u"option")
        return upTo({u"option"}, kSelect);
    if (name == u"optgroup")
        return upTo({u"option", u"optgroup"}, kSelect);
    return kClosesP.contains(name) ? upTo({u"p"}, kScope) : 0;
}

}  // namespace source::html
