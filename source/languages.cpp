#include "source/languages.h"

#include <QFile>

using namespace Qt::StringLiterals;

extern "C" {
const TSLanguage *tree_sitter_html(void);
const TSLanguage *tree_sitter_css(void);
const TSLanguage *tree_sitter_javascript(void);
}

namespace source {

namespace {

QByteArray resource(const QString &name)
{
    QFile file(u":/queries/"_s + name);
    // Compiled in: a missing query is a broken build, and colours are then simply left out.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

Language languageOf(QStringView fileName)
{
    const QStringView suffix = fileName.mid(fileName.lastIndexOf(u'.') + 1);
    if (suffix.compare(u"css", Qt::CaseInsensitive) == 0)
        return Language::Css;
    if (suffix.compare(u"js", Qt::CaseInsensitive) == 0 ||
        suffix.compare(u"mjs", Qt::CaseInsensitive) == 0)
        return Language::JavaScript;
    return Language::Html;
}

const TSLanguage *grammar(Language language)
{
    switch (language) {
    case Language::Html:
        return tree_sitter_html();
    case Language::Css:
        return tree_sitter_css();
    case Language::JavaScript:
        return tree_sitter_javascript();
    }
    return nullptr;
}

QByteArray highlightsQuery(Language language)
{
    switch (language) {
    case Language::Html:
        // The grammar has a node for character references that its query leaves uncoloured.
        return resource(u"html/highlights.scm"_s) + "\n(entity) @entity\n";
    case Language::Css:
        return resource(u"css/highlights.scm"_s);
    case Language::JavaScript:
        return resource(u"javascript/highlights.scm"_s);
    }
    return {};
}

QByteArray injectionsQuery()
{
    return resource(u"html/injections.scm"_s);
}

}  // namespace source
