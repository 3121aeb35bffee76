#include "engine/chunkedtext.h"

#include <algorithm>

namespace engine {

namespace {

constexpr qsizetype kChunk = 4096;

}  // namespace

ChunkedText::ChunkedText(QStringView text)
{
    for (qsizetype at = 0, length = 0; at < text.size(); at += length) {
        length = std::min(kChunk, text.size() - at);
        // A character of two halves is never split between chunks.
        if (at + length < text.size() && text.at(at + length - 1).isHighSurrogate())
            --length;
        m_chunks.append(text.sliced(at, length).toString());
    }
    restart(0);
}

qsizetype ChunkedText::chunkOf(qsizetype position) const
{
    // The chunk that begins last at or before position; the end belongs to the last chunk.
    const auto after = std::upper_bound(m_starts.cbegin(), m_starts.cend(), position);
    return std::max<qsizetype>(0, (after - m_starts.cbegin()) - 1);
}

void ChunkedText::restart(qsizetype from)
{
    m_starts.resize(m_chunks.size());
    qsizetype start = from > 0 ? m_starts[from - 1] + m_chunks[from - 1].size() : 0;
    for (qsizetype i = from; i < m_chunks.size(); ++i) {
        m_starts[i] = start;
        start += m_chunks[i].size();
    }
    m_size = start;
}

void ChunkedText::replace(qsizetype position, qsizetype removed, QStringView inserted)
{
    position = std::clamp<qsizetype>(position, 0, m_size);
    removed = std::clamp<qsizetype>(removed, 0, m_size - position);
    if (m_chunks.isEmpty()) {
        m_chunks.append(QString());
        m_starts = {0};
    }
    const qsizetype first = chunkOf(position);
    const qsizetype last = chunkOf(std::max(position, position + removed - 1));
    const qsizetype offset = position - m_starts[first];
    const qsizetype endOffset = position + removed - m_starts[last];
    QString joined;
    if (first == last) {
        joined = std::move(m_chunks[first]);
        joined.replace(offset, removed, inserted.data(), inserted.size());
    } else {
        joined.reserve(offset + inserted.size() + m_chunks[last].size() - endOffset);
        joined.append(QStringView(m_chunks[first]).first(offset));
        joined.append(inserted);
        joined.append(QStringView(m_chunks[last]).sliced(endOffset));
    }
    // Chunks stay between empty and twice their size; an empty one is dropped.
    // A character of two halves is never split between chunks.
    QList<QString> pieces;
    if (joined.size() <= 2 * kChunk) {
        if (!joined.isEmpty())
            pieces.append(std::move(joined));
    } else {
        for (qsizetype at = 0, length = 0; at < joined.size(); at += length) {
            length = std::min(kChunk, joined.size() - at);
            if (at + length < joined.size() && joined.at(at + length - 1).isHighSurrogate())
                --length;
            pieces.append(joined.sliced(at, length));
        }
    }
    m_chunks.remove(first, last - first + 1);
    for (qsizetype i = 0; i < pieces.size(); ++i)
        m_chunks.insert(first + i, pieces[i]);
    restart(first);
}

QString ChunkedText::mid(qsizetype position, qsizetype length) const
{
    position = std::clamp<qsizetype>(position, 0, m_size);
    length = std::clamp<qsizetype>(length, 0, m_size - position);
    QString result;
    result.reserve(length);
    for (qsizetype at = position; at < position + length;) {
        const QStringView run = runAt(at).first(std::min(runAt(at).size(), position + length - at));
        result.append(run);
        at += run.size();
    }
    return result;
}

qsizetype ChunkedText::count(QChar c, qsizetype from, qsizetype to) const
{
    qsizetype found = 0;
    for (qsizetype at = std::max<qsizetype>(0, from); at < std::min(to, m_size);) {
        const QStringView run = runAt(at).first(std::min(runAt(at).size(), to - at));
        found += run.count(c);
        at += run.size();
    }
    return found;
}

qsizetype ChunkedText::lastIndexOf(QChar c, qsizetype before) const
{
    before = std::min(before, m_size);
    if (before <= 0)
        return -1;
    for (qsizetype chunk = chunkOf(before - 1); chunk >= 0; --chunk) {
        const QStringView text =
            QStringView(m_chunks[chunk])
                .first(std::min(m_chunks[chunk].size(), before - m_starts[chunk]));
        const qsizetype at = text.lastIndexOf(c);
        if (at >= 0)
            return m_starts[chunk] + at;
    }
    return -1;
}

QStringView ChunkedText::runAt(qsizetype position) const
{
    if (position < 0 || position >= m_size)
        return {};
    const qsizetype chunk = chunkOf(position);
    return QStringView(m_chunks[chunk]).sliced(position - m_starts[chunk]);
}

}  // namespace engine
