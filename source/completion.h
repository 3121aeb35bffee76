#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include "source/languages.h"

namespace source {

// What the caret stands in, read from the text just before it as a browser's tokenizer reads
// it: what may be completed there, and where an abbreviation may be expanded.
struct CaretContext {
    enum class Kind : quint8 { Nothing, Element, Attribute, Value, CssProperty, CssValue };
    // Where the caret is, for abbreviations: in text content, inside a tag, a comment, a script,
    // or a style sheet (at a declaration or not).
    enum class Place : quint8 { Text, Tag, Comment, Script, Style };

    Kind kind = Kind::Nothing;
    Place place = Place::Text;
    qsizetype start = 0;  // where the name or value being typed begins
    QString element;      // the tag's, lower case: for Attribute and Value
    QString attribute;    // lower case: for Value
    QString property;     // lower case: for CssValue
    // In a style sheet's block or a style attribute: where the declaration being typed begins,
    // else -1.
    qsizetype declaration = -1;

    friend bool operator==(const CaretContext &, const CaretContext &) = default;
};

// The context at the end of before, the text before the caret (or its last part: a tag, a
// <style> or a comment that began earlier is not seen). Positions are in before. In a stylesheet
// of its own the text is all style; in a script there is nothing to complete.
CaretContext caretContext(QStringView before, Language language = Language::Html);

// One line of the completion list: the text it puts in, and a note in Japanese.
struct Suggestion {
    QString name;
    QString note;
    bool obsolete = false;
    // An attribute without a value (a boolean one): its name alone is put in.
    bool bare = false;

    friend bool operator==(const Suggestion &, const Suggestion &) = default;
};

// HTML's elements, attributes and their values, and CSS's properties and their keywords, as
// VS Code's web data lists them, read once on first use. The data's English descriptions are
// left out: elements carry notes of our own in Japanese.
class Vocabulary {
public:
    static const Vocabulary &instance();

    // What may go at the caret, whose names start with what is typed there (case aside), in
    // order; nothing when the context offers nothing.
    QList<Suggestion> suggestions(const CaretContext &context, QStringView typed) const;
    bool isElement(QStringView name) const;

private:
    Vocabulary();
    struct Attribute {
        QString name;
        QString valueSet;
    };
    QList<Suggestion> m_elements;
    QHash<QString, QList<Attribute>> m_attributes;  // by element; "" for the global ones
    QHash<QString, QStringList> m_valueSets;
    QList<Suggestion> m_properties;
    QHash<QString, QStringList> m_keywords;  // by property
};

// The one-line Japanese note on an HTML element, and whether HTML no longer has it; an empty
// note for a name not known here.
QString elementNote(QStringView name);
// The same for a CSS property; empty for one without a note of ours.
QString propertyNote(QStringView name);
bool isObsoleteElement(QStringView name);

}  // namespace source
