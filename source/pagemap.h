#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "source/htmlsource.h"

namespace source {

// Which of the page's elements each start tag of the source became, told apart by their names
// alone, both lists in document order. What the browser adds (html, head, body, tbody), what it
// leaves out or what scripts made, is passed over on either side without shifting the rest.
class PageMap {
public:
    PageMap() = default;
    // Names compare without regard to case: the page spells SVG's names as written.
    PageMap(QList<StartTag> tags, const QStringList &pageNames);

    // Of elements, their start tags' positions innermost first, the page's element for the
    // innermost it has; -1 for none.
    int elementFor(const QList<qsizetype> &elements) const;
    // Of elements of the page, innermost first, where the start tag of the innermost the source
    // has is written.
    std::optional<qsizetype> startTagFor(const QList<int> &elements) const;
    // For each start tag, the page's element it made; -1 for none.
    const QList<int> &pageOfTags() const { return m_pageOf; }

private:
    QList<StartTag> m_tags;
    QList<int> m_pageOf;
    QList<int> m_sourceOf;
};

}  // namespace source
