#include "engine/textsnapshot.h"

#include <algorithm>

namespace engine {

TextSnapshot TextSnapshot::fromEditorChunks(QList<QString> chunks)
{
    TextSnapshot snapshot;
    snapshot.m_parts = std::move(chunks);
    snapshot.m_editorForm = true;
    return snapshot;
}

void TextSnapshot::appendFileForm(QStringView editorText, QString &out)
{
    // In runs between the separators: a typed key must not wait for the page's characters one
    // by one.
    for (qsizetype from = 0;;) {
        const qsizetype at = editorText.indexOf(QChar::ParagraphSeparator, from);
        if (at < 0) {
            out.append(editorText.sliced(from));
            return;
        }
        out.append(editorText.sliced(from, at - from));
        out.append(QLatin1StringView("\r\n"));
        from = at + 1;
    }
}

QString TextSnapshot::fileForm(QStringView editorText)
{
    QString out;
    out.reserve(editorText.size() + editorText.count(QChar::ParagraphSeparator));
    appendFileForm(editorText, out);
    return out;
}

QString TextSnapshot::head(qsizetype length) const
{
    QString out;
    forEachPart([&](QStringView part) {
        out += part.first(std::min(part.size(), length - out.size()));
        return out.size() < length;
    });
    return out;
}

QString TextSnapshot::toString() const
{
    if (!m_editorForm && m_parts.size() == 1)
        return m_parts.first();
    QString out;
    out.reserve(sizeBound());
    for (const QString &part : m_parts) {
        if (m_editorForm)
            appendFileForm(part, out);
        else
            out += part;
    }
    return out;
}

qsizetype TextSnapshot::sizeBound() const
{
    qsizetype size = 0;
    for (const QString &part : m_parts)
        size += part.size();
    return m_editorForm ? 2 * size : size;
}

bool TextSnapshot::isEmpty() const
{
    return std::all_of(m_parts.cbegin(), m_parts.cend(),
                       [](const QString &p) { return p.isEmpty(); });
}

bool operator==(const TextSnapshot &a, const TextSnapshot &b)
{
    if (a.m_editorForm == b.m_editorForm && a.m_parts.size() == b.m_parts.size()) {
        // Parts of the same sizes throughout: equal exactly when every part is.
        bool sameSizes = true;
        for (qsizetype i = 0; sameSizes && i < a.m_parts.size(); ++i)
            sameSizes = a.m_parts[i].size() == b.m_parts[i].size();
        if (sameSizes) {
            for (qsizetype i = 0; i < a.m_parts.size(); ++i)
                if (!a.m_parts[i].isSharedWith(b.m_parts[i]) && a.m_parts[i] != b.m_parts[i])
                    return false;
            return true;
        }
    }
    return a.toString() == b.toString();
}

}  // namespace engine
