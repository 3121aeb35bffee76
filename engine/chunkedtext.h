#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

namespace engine {

// A text kept in chunks of a few thousand characters, each shared until it changes: an edit
// costs about its own size whatever the size of the text, and a copy for another thread costs
// a list of references, not the characters.
class ChunkedText {
public:
    ChunkedText() = default;
    explicit ChunkedText(QStringView text);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    void replace(qsizetype position, qsizetype removed, QStringView inserted);

    QString mid(qsizetype position, qsizetype length) const;
    QString toString() const { return mid(0, m_size); }
    // How often c occurs in [from, to).
    qsizetype count(QChar c, qsizetype from, qsizetype to) const;
    // The last c before position, or -1.
    qsizetype lastIndexOf(QChar c, qsizetype before) const;
    // The chunks, in order: a copy shares their characters.
    const QList<QString> &chunks() const { return m_chunks; }
    // The characters from position to the end of the chunk that holds it.
    QStringView runAt(qsizetype position) const;

private:
    qsizetype chunkOf(qsizetype position) const;
    void restart(qsizetype from);

    QList<QString> m_chunks;
    QList<qsizetype> m_starts;  // where each chunk begins
    qsizetype m_size = 0;
};

}  // namespace engine
