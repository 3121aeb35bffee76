#pragma once

#include <QList>

#include "source/colour.h"
#include "source/search.h"

// Moving between the matches of a search, sorted and apart as findAll gives them. Each gives an
// index into the matches, or -1 when there is none to go to.
namespace source::matches {

// The first a search from position finds: the first at or after it, else round to the first.
qsizetype from(const QList<Match> &matches, qsizetype position);
// The next after the selection [start, end): the first that starts at or after its end, round to
// the first.
qsizetype next(const QList<Match> &matches, qsizetype start, qsizetype end);
// The one before the selection: the last that starts before start, round to the last.
qsizetype previous(const QList<Match> &matches, qsizetype start);
// The match that is exactly the selection [start, end).
qsizetype at(const QList<Match> &matches, qsizetype start, qsizetype end);
// Those that lie at least partly within [start, end), at most most of them.
QList<TextRange> within(const QList<Match> &matches, qsizetype start, qsizetype end,
                        qsizetype most);

}  // namespace source::matches
