#pragma once

#include <tree_sitter/api.h>
#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "engine/chunkedtext.h"
#include "source/colour.h"
#include "source/languages.h"

namespace source {

using engine::ChunkedText;

// A tree-sitter query with the predicates its patterns use (#eq?, #match?, #any-of? and their
// negations) evaluated on the text, and #set! properties kept per pattern. Predicates that need
// more than the text (#is-not? local) hold.
class Query {
public:
    Query(Language language, const QByteArray &source);
    ~Query();
    Q_DISABLE_COPY_MOVE(Query)

    bool isValid() const { return m_query != nullptr; }

    // What each capture of the matches within range colours, in order: start, then pattern.
    // text is the whole text the tree was parsed from.
    void colours(TSNode root, const ChunkedText &text, TextRange range,
                 QList<ColourSpan> &out) const;

    // The nodes captured as injection.content by patterns whose injection.language is language.
    QList<TSRange> injections(TSNode root, const ChunkedText &text, TextRange range,
                              const QString &language) const;

private:
    struct Predicate {
        enum class Kind { Eq, Match, AnyOf } kind = Kind::Eq;
        bool negated = false;
        quint32 capture = 0;
        qint64 otherCapture = -1;  // for Eq between two captures
        QStringList values;
        QRegularExpression regex;
    };
    struct Pattern {
        QList<Predicate> predicates;
        QString injectionLanguage;
    };

    bool holds(const TSQueryMatch &match, const ChunkedText &text) const;
    template <typename Visit>
    void forEachCapture(TSNode root, const ChunkedText &text, TextRange range, Visit visit) const;

    TSQuery *m_query = nullptr;
    QList<Pattern> m_patterns;
    QList<Colour> m_colourOfCapture;
    qint64 m_injectionContent = -1;
};

}  // namespace source
