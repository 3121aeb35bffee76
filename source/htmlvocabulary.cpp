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

bool isSelectPart(const QString &name)
{
    return name == u"select"_s || name == u"option"_s || name == u"optgroup"_s;
}

}  // namespace source::html
