#include "source/pagemap.h"

#include <QHash>
#include <algorithm>
#include <vector>

namespace source {

namespace {

// Past this many differences the shortest edit is not worth its time (and memory, which grows
// with its square): a page whose scripts made thousands of elements is matched greedily.
constexpr qsizetype kMostDifferences = 1000;
// and past about this many steps, so that a page of 100,000 elements is matched as fast.
constexpr qsizetype kMostSteps = 40'000'000;
// How far the greedy match looks ahead for a name.
constexpr qsizetype kLookAhead = 64;

using Names = std::vector<int>;
using Match = std::vector<std::pair<qsizetype, qsizetype>>;

// Myers' shortest edit between a[from..) and b[from..) up to the given ends; false when it
// needs more than kMostDifferences.
bool shortestEdit(const Names &a, const Names &b, qsizetype from, qsizetype endA, qsizetype endB,
                  Match &match)
{
    const qsizetype n = endA - from, m = endB - from;
    const qsizetype most = std::min({n + m, kMostDifferences, kMostSteps / std::max(n + m, 1LL)});
    std::vector<qsizetype> v(size_t(2 * most + 3), 0);
    const qsizetype mid = most + 1;
    std::vector<std::vector<qsizetype>> trace;
    const auto same = [&](qsizetype x, qsizetype y) { return a[from + x] == b[from + y]; };
    for (qsizetype d = 0; d <= most; ++d) {
        for (qsizetype k = -d; k <= d; k += 2) {
            qsizetype x = (k == -d || (k != d && v[mid + k - 1] < v[mid + k + 1]))
                              ? v[mid + k + 1]
                              : v[mid + k - 1] + 1;
            qsizetype y = x - k;
            while (x < n && y < m && same(x, y))
                ++x, ++y;
            v[mid + k] = x;
            if (x >= n && y >= m) {
                trace.emplace_back(v.begin() + (mid - d), v.begin() + (mid + d + 1));
                // Back from the end, each step's snake is a run of matches.
                qsizetype bx = n, by = m;
                for (qsizetype e = d; e > 0; --e) {
                    const std::vector<qsizetype> &before = trace[size_t(e - 1)];
                    const auto at = [&](qsizetype kk) { return before[size_t(kk + e - 1)]; };
                    const qsizetype kk = bx - by;
                    const qsizetype prevK =
                        (kk == -e || (kk != e && at(kk - 1) < at(kk + 1))) ? kk + 1 : kk - 1;
                    const qsizetype px = at(prevK), py = px - prevK;
                    while (bx > px && by > py)
                        match.emplace_back(from + --bx, from + --by);
                    bx = px;
                    by = py;
                }
                while (bx > 0 && by > 0)
                    match.emplace_back(from + --bx, from + --by);
                return true;
            }
        }
        trace.emplace_back(v.begin() + (mid - d), v.begin() + (mid + d + 1));
    }
    return false;
}

void greedy(const Names &a, const Names &b, qsizetype from, qsizetype endA, qsizetype endB,
            Match &match)
{
    qsizetype i = from, j = from;
    const auto find = [](const Names &in, qsizetype start, qsizetype end, int name) {
        for (qsizetype at = start; at < std::min(end, start + kLookAhead); ++at)
            if (in[size_t(at)] == name)
                return at - start;
        return qsizetype(-1);
    };
    while (i < endA && j < endB) {
        if (a[size_t(i)] == b[size_t(j)]) {
            match.emplace_back(i++, j++);
            continue;
        }
        const qsizetype inB = find(b, j + 1, endB, a[size_t(i)]);
        const qsizetype inA = find(a, i + 1, endA, b[size_t(j)]);
        if (inB >= 0 && (inA < 0 || inB <= inA))
            j += inB + 1;
        else if (inA >= 0)
            i += inA + 1;
        else
            ++i, ++j;
    }
}

}  // namespace

QList<int> matchElements(const QStringList &tagNames, const QStringList &pageNames)
{
    QHash<QString, int> ids;
    const auto id = [&](const QString &name) {
        const QString lower = name.toLower();
        const auto known = ids.constFind(lower);
        return known != ids.cend() ? *known : *ids.insert(lower, int(ids.size()));
    };
    Names a, b;
    a.reserve(size_t(tagNames.size()));
    for (const QString &name : tagNames)
        a.push_back(id(name));
    b.reserve(size_t(pageNames.size()));
    for (const QString &name : pageNames)
        b.push_back(id(name));
    const qsizetype n = qsizetype(a.size()), m = qsizetype(b.size());
    Match match;
    qsizetype from = 0;
    while (from < n && from < m && a[size_t(from)] == b[size_t(from)]) {
        match.emplace_back(from, from);
        ++from;
    }
    qsizetype endA = n, endB = m;
    while (endA > from && endB > from && a[size_t(endA - 1)] == b[size_t(endB - 1)]) {
        --endA, --endB;
        match.emplace_back(endA, endB);
    }
    if (!shortestEdit(a, b, from, endA, endB, match))
        greedy(a, b, from, endA, endB, match);
    QList<int> pageOf(n, -1);
    for (const auto &[i, j] : match)
        pageOf[i] = int(j);
    return pageOf;
}

}  // namespace source
