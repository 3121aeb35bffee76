#pragma once

#include <QList>
#include <QStringList>

namespace source {

// Which of the page's elements each start tag of the source became, told apart by their names
// alone, both lists in document order; -1 for none. What the browser adds (html, head, body,
// tbody), what it leaves out or what scripts made, is passed over on either side without
// shifting the rest. Names compare without regard to case: the page spells SVG's names as
// written.
QList<int> matchElements(const QStringList &tagNames, const QStringList &pageNames);

}  // namespace source
