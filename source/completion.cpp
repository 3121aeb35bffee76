#include "source/completion.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "source/htmltokenizer.h"
#include "source/htmlvocabulary.h"

using namespace Qt::StringLiterals;

namespace source {

namespace {

using Kind = CaretContext::Kind;
using Place = CaretContext::Place;

using html::isSpace;

// Where the word that ends at end begins, of the characters word allows.
template <typename Word>
qsizetype wordStart(QStringView text, qsizetype end, Word word)
{
    qsizetype start = end;
    while (start > 0 && word(text[start - 1]))
        --start;
    return start;
}

// The caret inside a style sheet, or a style attribute's declarations (in a block already).
CaretContext styleContext(QStringView css, qsizetype offset, bool inBlock)
{
    CaretContext context;
    context.place = Place::Style;
    int depth = inBlock ? 1 : 0;
    qsizetype declaration = 0, colon = -1;
    for (qsizetype i = 0; i < css.size(); ++i) {
        const QChar c = css[i];
        if (c == u'/' && i + 1 < css.size() && css[i + 1] == u'*') {
            const qsizetype end = css.indexOf(u"*/", i + 2);
            if (end < 0)
                return context;  // in a comment
            i = end + 1;
        } else if (c == u'"' || c == u'\'') {
            const qsizetype end = css.indexOf(c, i + 1);
            if (end < 0)
                return context;  // in a string
            i = end;
        } else if (c == u'{' || c == u'}' || c == u';') {
            depth = std::max(0, depth + (c == u'{' ? 1 : c == u'}' ? -1 : 0));
            declaration = i + 1;
            colon = -1;
        } else if (c == u':' && colon < 0) {
            colon = i;
        }
    }
    if (depth == 0)
        return context;  // a selector
    while (declaration < css.size() && isSpace(css[declaration]))
        ++declaration;
    context.declaration = offset + declaration;
    const auto word = [](QChar c) { return c.isLetterOrNumber() || c == u'-'; };
    context.start = offset + wordStart(css, css.size(), word);
    if (colon < 0) {
        context.kind = Kind::CssProperty;
    } else {
        context.kind = Kind::CssValue;
        context.property = css.mid(declaration, colon - declaration).trimmed().toString().toLower();
    }
    return context;
}

// The caret in a start tag left open, read as far as the text goes.
CaretContext tagContext(QStringView text, const OpenTag &tag)
{
    using State = OpenTag::State;
    CaretContext context;
    context.place = Place::Tag;
    switch (tag.state) {
    case State::Name:
        return {Kind::Element, Place::Tag, tag.name, {}, {}, {}, -1};
    case State::BeforeAttribute:
    case State::AfterAttribute:
        if (isSpace(text.back())) {
            context.kind = Kind::Attribute;
            context.start = text.size();
            context.element = tag.element;
        }
        break;
    case State::Attribute:
        return {Kind::Attribute, Place::Tag, tag.attributeStart, tag.element, {}, {}, -1};
    case State::BeforeValue:
        break;
    case State::Value:
        if (tag.attribute == u"style"_s && !tag.quote.isNull())
            return styleContext(text.sliced(tag.valueStart), tag.valueStart, true);
        context.kind = Kind::Value;
        context.start = std::max(tag.valueStart,
                                 wordStart(text, text.size(), [](QChar c) { return !isSpace(c); }));
        context.element = tag.element;
        context.attribute = tag.attribute;
        break;
    }
    return context;
}

}  // namespace

CaretContext caretContext(QStringView text, Language language)
{
    CaretContext context;
    if (language == Language::Css)
        return styleContext(text, 0, false);
    if (language == Language::JavaScript) {
        context.place = Place::Script;
        return context;
    }
    if (text.endsWith(u'<'))  // a tag's name comes next
        return {Kind::Element, Place::Tag, text.size(), {}, {}, {}, -1};
    // Read as the page index reads the page: only what is still open at the caret matters.
    Tokenizer tokenizer(text, 0, 0);
    PageToken token;
    Tokenizer::Step step;
    while ((step = tokenizer.next(token)) == Tokenizer::Step::Token) {
    }
    if (step == Tokenizer::Step::Done)
        return context;
    if (!tokenizer.rawText().isEmpty()) {
        if (tokenizer.rawText() == u"style"_s)
            return styleContext(text.sliced(tokenizer.openAt()), tokenizer.openAt(), false);
        context.place = Place::Script;
        return context;
    }
    switch (tokenizer.openKind()) {
    case PageToken::Kind::Start:
        return tagContext(text, tokenizer.openTag());
    case PageToken::Kind::Comment:
        context.place =
            text.sliced(tokenizer.openAt()).startsWith(u"<!--") ? Place::Comment : Place::Tag;
        return context;
    default:  // an end tag, a doctype or the like
        context.place = Place::Tag;
        return context;
    }
}

const Vocabulary &Vocabulary::instance()
{
    static const Vocabulary vocabulary;
    return vocabulary;
}

namespace {

QJsonObject readData(const QString &name)
{
    QFile file(u":/webdata/"_s + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QString statusNote(const QJsonObject &entry)
{
    const QString status = entry.value(u"status"_s).toString();
    if (status == u"obsolete"_s)
        return u" (廃止)"_s;
    if (status == u"nonstandard"_s)
        return u" (非標準)"_s;
    if (status == u"experimental"_s)
        return u" (試験的)"_s;
    return {};
}

}  // namespace

Vocabulary::Vocabulary()
{
    const QJsonObject html = readData(u"browsers.html-data.json"_s);
    const auto attributes = [](const QJsonArray &list) {
        QList<Attribute> read;
        for (const QJsonValue &entry : list)
            read.append({entry[u"name"_s].toString(), entry[u"valueSet"_s].toString()});
        return read;
    };
    for (const QJsonValue &tag : html.value(u"tags"_s).toArray()) {
        const QString name = tag[u"name"_s].toString();
        m_elements.append({name, elementNote(name), isObsoleteElement(name), false});
        m_attributes.insert(name, attributes(tag[u"attributes"_s].toArray()));
    }
    m_attributes.insert(QString(), attributes(html.value(u"globalAttributes"_s).toArray()));
    for (const QJsonValue &set : html.value(u"valueSets"_s).toArray()) {
        QStringList values;
        for (const QJsonValue &value : set[u"values"_s].toArray())
            values.append(value[u"name"_s].toString());
        m_valueSets.insert(set[u"name"_s].toString(), values);
    }
    const QJsonObject css = readData(u"browsers.css-data.json"_s);
    for (const QJsonValue &entry : css.value(u"properties"_s).toArray()) {
        const QJsonObject property = entry.toObject();
        const QString name = property.value(u"name"_s).toString();
        const QString status = statusNote(property);
        const QString note = propertyNote(name);
        m_properties.append({name, (note.isEmpty() ? u"CSS プロパティ"_s : note) + status,
                             !status.isEmpty(), false});
        QStringList keywords;
        for (const QJsonValue &value : property.value(u"values"_s).toArray())
            keywords.append(value[u"name"_s].toString());
        m_keywords.insert(name, keywords);
    }
    const auto byName = [](const Suggestion &a, const Suggestion &b) { return a.name < b.name; };
    std::sort(m_elements.begin(), m_elements.end(), byName);
    std::sort(m_properties.begin(), m_properties.end(), byName);
}

bool Vocabulary::isElement(QStringView name) const
{
    return m_attributes.contains(name.toString().toLower()) && !name.isEmpty();
}

QList<Suggestion> Vocabulary::suggestions(const CaretContext &context, QStringView typed) const
{
    QList<Suggestion> all;
    switch (context.kind) {
    case Kind::Nothing:
        return {};
    case Kind::Element:
        all = m_elements;
        break;
    case Kind::Attribute:
        for (const QString &owner : {context.element, QString()}) {
            const QString note =
                owner.isEmpty() ? u"どの要素にも使える属性"_s : u"<%1> の属性"_s.arg(owner);
            for (const Attribute &attribute : m_attributes.value(owner))
                all.append({attribute.name, note, false, attribute.valueSet == u"v"_s});
        }
        std::stable_sort(all.begin(), all.end(),
                         [](const Suggestion &a, const Suggestion &b) { return a.name < b.name; });
        all.erase(std::unique(all.begin(), all.end(),
                              [](const auto &a, const auto &b) { return a.name == b.name; }),
                  all.end());
        break;
    case Kind::Value: {
        QString set;
        for (const QString &owner : {context.element, QString()})
            for (const Attribute &attribute : m_attributes.value(owner))
                if (set.isEmpty() && attribute.name == context.attribute)
                    set = attribute.valueSet;
        for (const QString &value : m_valueSets.value(set))
            all.append({value, u"%1 の値"_s.arg(context.attribute), false, false});
        break;
    }
    case Kind::CssProperty:
        // The engines' own prefixed properties only for who starts typing one.
        for (const Suggestion &property : m_properties)
            if (!property.name.startsWith(u'-') || typed.startsWith(u'-'))
                all.append(property);
        break;
    case Kind::CssValue:
        for (const QString &keyword : m_keywords.value(context.property))
            all.append({keyword, u"%1 の値"_s.arg(context.property), false, false});
        break;
    }
    QList<Suggestion> offered;
    for (const Suggestion &suggestion : std::as_const(all))
        if (suggestion.name.startsWith(typed, Qt::CaseInsensitive))
            offered.append(suggestion);
    // Typed out in full, there is nothing left to offer.
    if (offered.size() == 1 && offered.first().name.compare(typed, Qt::CaseInsensitive) == 0)
        return {};
    return offered;
}

}  // namespace source
