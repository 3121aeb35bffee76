#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <variant>

namespace source {

struct Match {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const Match &, const Match &) = default;
};

struct SearchPattern {
    QString text;
    bool matchCase = false;
    bool regularExpression = false;
};

// Every match of pattern in text, in order and apart. The text is the editor's, in which a line
// ends in U+2029, LF or CR, or shows one at U+2028: they count as line ends, so no match runs
// over a line. An empty pattern matches nothing, and an invalid expression gives its reason,
// in Japanese.
std::variant<QList<Match>, QString> findAll(QStringView text, const SearchPattern &pattern);

struct Replacement {
    Match match;
    QString text;
};

// Every match, each with what replaces it: for an expression, \0 to \9 in replacement stand
// for its captures and \n for a line break. Nothing when the expression is invalid.
QList<Replacement> replaceAll(QStringView text, const SearchPattern &pattern,
                              const QString &replacement);

}  // namespace source
