#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>

#include "source/colour.h"

class QJSEngine;
class QJSValue;

namespace source {

// An abbreviation expanded: what replaces it, and the places in that text Tab visits next.
struct Expansion {
    qsizetype start = 0;  // where the abbreviation begins in the text it was read from
    QString text;         // lines ended by LF
    QList<TextRange> fields;
};

// Emmet's abbreviations (ul>li*3, div.card>h2+p, !, m10, d:f ...), by the emmet package run in
// the program's own JavaScript engine, which is made on first use. Only what a plain word is not
// is expanded, and only what Emmet reads whole: a word followed by Tab stays a word, and a
// mistyped abbreviation is left as typed.
class Abbreviations {
public:
    Abbreviations();
    ~Abbreviations();
    Q_DISABLE_COPY_MOVE(Abbreviations)

    struct Settings {
        QString charset = QStringLiteral("UTF-8");  // what "!" declares
        QString indent = QStringLiteral("  ");      // a level of indentation
        QString baseIndent;                         // of the line the expansion starts on
    };
    // The abbreviation that ends the text of a line before the caret, in text content.
    std::optional<Expansion> expandMarkup(QStringView line, const Settings &settings);
    // The declaration being typed in a style sheet, from its start to the caret.
    std::optional<Expansion> expandStylesheet(QStringView declaration, const Settings &settings);

    bool isLoaded() const { return m_engine != nullptr; }
    // Why the engine could not be made, in Japanese; empty while it could.
    const QString &failure() const { return m_failure; }

private:
    QJSValue *emmet();
    std::optional<Expansion> expanded(const QJSValue &result, qsizetype start);

    std::unique_ptr<QJSEngine> m_engine;
    std::unique_ptr<QJSValue> m_emmet;
    QString m_failure;
};

}  // namespace source
