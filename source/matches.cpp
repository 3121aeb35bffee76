#include "source/matches.h"

#include <algorithm>

namespace source::matches {

namespace {

// The first match that starts at or after position.
QList<Match>::const_iterator firstFrom(const QList<Match> &matches, qsizetype position)
{
    return std::lower_bound(matches.cbegin(), matches.cend(), position,
                            [](const Match &m, qsizetype at) { return m.start < at; });
}

}  // namespace

qsizetype from(const QList<Match> &matches, qsizetype position)
{
    if (matches.isEmpty())
        return -1;
    const auto it = firstFrom(matches, position);
    return it == matches.cend() ? 0 : it - matches.cbegin();
}

qsizetype next(const QList<Match> &matches, qsizetype start, qsizetype end)
{
    // An empty selection at a match's start finds that match.
    return from(matches, std::max(start, end));
}

qsizetype previous(const QList<Match> &matches, qsizetype start)
{
    if (matches.isEmpty())
        return -1;
    const auto it = firstFrom(matches, start);
    return (it == matches.cbegin() ? matches.cend() : it) - matches.cbegin() - 1;
}

qsizetype at(const QList<Match> &matches, qsizetype start, qsizetype end)
{
    const auto it = firstFrom(matches, start);
    if (it == matches.cend() || it->start != start || it->start + it->length != end)
        return -1;
    return it - matches.cbegin();
}

QList<TextRange> within(const QList<Match> &matches, qsizetype start, qsizetype end, qsizetype most)
{
    QList<TextRange> found;
    auto it = std::lower_bound(
        matches.cbegin(), matches.cend(), start,
        [](const Match &m, qsizetype position) { return m.start + m.length <= position; });
    for (; it != matches.cend() && it->start < end && found.size() < most; ++it)
        found.append({it->start, it->start + it->length});
    return found;
}

}  // namespace source::matches
