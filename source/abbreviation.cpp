#include "source/abbreviation.h"

#include <QFile>
#include <QJSEngine>
#include <QJSValue>
#include <QRegularExpression>

#include "source/completion.h"

using namespace Qt::StringLiterals;

namespace source {

namespace {

// Between the program and Emmet: a field comes back as \1 index \2 placeholder \3, so that its
// place is known in the text, and a markup abbreviation with the names of the elements it makes,
// its snippets resolved.
const auto kBridge =
    uR"(
(function (emmet) {
    var field = function (index, placeholder) {
        return '\u0001' + index + '\u0002' + placeholder + '\u0003';
    };
    var config = function (type, settings) {
        return {
            type: type,
            syntax: type === 'markup' ? 'html' : 'css',
            variables: { lang: 'ja', charset: settings.charset },
            options: {
                'output.field': field,
                'output.indent': settings.indent,
                'output.baseIndent': settings.baseIndent,
                'output.newline': '\n'
            }
        };
    };
    return {
        markup: function (line, settings) {
            var found = emmet.extract(line, line.length, { type: 'markup', lookAhead: false });
            if (!found)
                return null;
            var c = config('markup', settings), names = [];
            var walk = function (node) {
                (node.children || []).forEach(function (child) {
                    names.push(child.name ? String(child.name) : '');
                    walk(child);
                });
            };
            walk(emmet.parseMarkup(found.abbreviation, emmet.resolveConfig(c)));
            return { start: found.start, abbreviation: found.abbreviation, names: names,
                     text: emmet['default'](found.abbreviation, c) };
        },
        stylesheet: function (declaration, settings) {
            var c = config('stylesheet', settings);
            var nodes = emmet.parseStylesheet(declaration, emmet.resolveConfig(c));
            var known = nodes.length > 0 && nodes.every(function (node) { return node.snippet; });
            return known ? { start: 0, text: emmet['default'](declaration, c) } : null;
        }
    };
}))"_s;

// Whether brackets, braces and parentheses close in order and nothing trails an operator: Emmet
// reads "div[" or "ul>" as best it can, which is not what was meant.
bool isWhole(QStringView abbreviation)
{
    QString open;
    for (qsizetype i = 0; i < abbreviation.size(); ++i) {
        const QChar c = abbreviation[i];
        if (!open.isEmpty() && open.back() == u'{') {  // text, as written
            if (c == u'}')
                open.chop(1);
            continue;
        }
        if (!open.isEmpty() && open.back() == u'"') {
            if (c == u'"')
                open.chop(1);
            continue;
        }
        if (c == u'[' || c == u'{' || c == u'(' || (c == u'"' && !open.isEmpty()))
            open.append(c);
        else if (c == u']' || c == u')') {
            if (open.isEmpty() || open.back() != (c == u']' ? u'[' : u'('))
                return false;
            open.chop(1);
        }
    }
    return open.isEmpty() && !u">+^*.#:"_s.contains(abbreviation.back());
}

// Emmet makes every element asked for: "p*9999999" would hold the program for minutes and fill
// its memory. Where the repeats, multiplied together, ask for more than this, nothing is made;
// nor is a whole page ("!") made more than once.
bool makesTooMany(QStringView word)
{
    constexpr double kMostMade = 1000;
    static const QRegularExpression kTimes(u"\\*(\\d+)"_s);
    if (word.contains(u'!') && word.contains(u'*'))
        return true;
    double made = 1;
    for (auto it = kTimes.globalMatch(word); it.hasNext();)
        if ((made *= it.next().captured(1).toDouble()) > kMostMade)
            return true;
    return false;
}

bool isPlainWord(QStringView word, bool digits)
{
    return std::all_of(word.begin(), word.end(), [digits](QChar c) {
        return c.isLetter() || c == u'-' || c == u'_' || (digits && c.isDigit());
    });
}

QJSValue settingsObject(QJSEngine &engine, const Abbreviations::Settings &settings)
{
    QJSValue object = engine.newObject();
    object.setProperty(u"charset"_s, settings.charset);
    object.setProperty(u"indent"_s, settings.indent);
    object.setProperty(u"baseIndent"_s, settings.baseIndent);
    return object;
}

}  // namespace

Abbreviations::Abbreviations() = default;
Abbreviations::~Abbreviations() = default;

QJSValue *Abbreviations::emmet()
{
    if (m_emmet)
        return m_emmet.get();
    if (!m_failure.isEmpty())
        return nullptr;
    QFile script(u":/emmet/emmet.cjs"_s);
    if (!script.open(QIODevice::ReadOnly)) {
        m_failure = u"Emmet を読み込めませんでした: %1"_s.arg(script.errorString());
        return nullptr;
    }
    auto engine = std::make_unique<QJSEngine>();
    // The package's CommonJS build, given the exports object it fills.
    const QJSValue exports =
        engine->evaluate(u"(function () { var exports = {}, module = { exports: exports };\n"_s +
                             QString::fromUtf8(script.readAll()) + u"\nreturn exports; })()"_s,
                         script.fileName());
    const QJSValue bridge = engine->evaluate(kBridge);
    const QJSValue emmet =
        exports.isError() || bridge.isError() ? QJSValue() : bridge.call({exports});
    if (!emmet.isObject()) {
        m_failure = u"Emmet を読み込めませんでした: %1"_s.arg((exports.isError()  ? exports
                                                               : bridge.isError() ? bridge
                                                                                  : emmet)
                                                                  .toString());
        return nullptr;
    }
    m_engine = std::move(engine);
    m_emmet = std::make_unique<QJSValue>(emmet);
    return m_emmet.get();
}

std::optional<Expansion> Abbreviations::expandMarkup(QStringView line, const Settings &settings)
{
    qsizetype word = line.size();
    while (word > 0 && !line[word - 1].isSpace())
        --word;
    if (word == line.size() || isPlainWord(line.sliced(word), true) ||
        makesTooMany(line.sliced(word)))
        return std::nullopt;
    QJSValue *emmet = this->emmet();
    if (!emmet)
        return std::nullopt;
    const QJSValue found =
        emmet->property(u"markup"_s).call({line.toString(), settingsObject(*m_engine, settings)});
    if (!found.isObject() || found.isError())
        return std::nullopt;
    const QString abbreviation = found.property(u"abbreviation"_s).toString();
    const qsizetype start = found.property(u"start"_s).toInt();
    if (!isWhole(abbreviation) || (abbreviation != u"!"_s && isPlainWord(abbreviation, true)))
        return std::nullopt;
    // What Emmet left of the word before it is a tag, or nothing: not "(" of "(ul>li".
    const QStringView before = line.sliced(word, std::max(start - word, qsizetype(0)));
    if (!before.isEmpty() && !(before.endsWith(u'>') && before.contains(u'<')))
        return std::nullopt;
    // Each element it makes is one of HTML's, or a custom element: "e.g." or "Mr.Smith" is prose.
    const QVariantList names = found.property(u"names"_s).toVariant().toList();
    bool named = false;
    for (const QVariant &name : names) {
        const QString element = name.toString();
        if (!element.isEmpty() && !Vocabulary::instance().isElement(element) &&
            !element.contains(u'-'))
            return std::nullopt;
        named = named || !element.isEmpty();
    }
    if (!named)
        return std::nullopt;
    return expanded(found, start);
}

std::optional<Expansion> Abbreviations::expandStylesheet(QStringView declaration,
                                                         const Settings &settings)
{
    const QStringView typed = declaration.trimmed();
    if (typed.isEmpty() ||
        std::any_of(typed.begin(), typed.end(), [](QChar c) { return c.isSpace(); }) ||
        isPlainWord(typed, false) || !isWhole(typed))
        return std::nullopt;
    QJSValue *emmet = this->emmet();
    if (!emmet)
        return std::nullopt;
    const QJSValue found = emmet->property(u"stylesheet"_s)
                               .call({typed.toString(), settingsObject(*m_engine, settings)});
    if (!found.isObject() || found.isError())
        return std::nullopt;
    return expanded(found, typed.data() - declaration.data());
}

std::optional<Expansion> Abbreviations::expanded(const QJSValue &result, qsizetype start)
{
    const QString marked = result.property(u"text"_s).toString();
    if (marked.isEmpty())
        return std::nullopt;
    Expansion expansion;
    expansion.start = start;
    QList<std::pair<int, TextRange>> fields;
    for (qsizetype i = 0; i < marked.size(); ++i) {
        if (marked[i] != u'\u0001') {
            expansion.text += marked[i];
            continue;
        }
        const qsizetype placeholder = marked.indexOf(u'\u0002', i);
        const qsizetype end = marked.indexOf(u'\u0003', placeholder);
        if (placeholder < 0 || end < 0)
            return std::nullopt;
        const int index = marked.sliced(i + 1, placeholder - i - 1).toInt();
        const qsizetype at = expansion.text.size();
        expansion.text += marked.sliced(placeholder + 1, end - placeholder - 1);
        fields.append({index, {at, expansion.text.size()}});
        i = end;
    }
    std::stable_sort(fields.begin(), fields.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &field : std::as_const(fields))
        expansion.fields.append(field.second);
    return expansion;
}

}  // namespace source
