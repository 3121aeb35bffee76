#include "editor/editortext.h"

namespace editor {

DocumentText toDocumentText(QStringView text)
{
    DocumentText result;
    QString &out = result.text;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out.append(u'\n');
        } else if (ch == u'\n') {
            out.append(QChar::LineSeparator);
        } else {
            if (ch == QChar::LineSeparator)
                result.literalSeparators.append(out.size());
            out.append(ch);
        }
    }
    return result;
}

QString fromDocumentText(QStringView raw)
{
    // On every keystroke: Qt's bulk replace is much faster than appending character by character.
    QString out = raw.toString();
    out.replace(QChar::ParagraphSeparator, QLatin1StringView("\r\n"));
    out.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return out;
}

QString pastedToDocumentText(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue;
        if (ch == u'\r' || ch == QChar::LineSeparator || ch == QChar::ParagraphSeparator)
            out.append(u'\n');
        else
            out.append(ch);
    }
    return out;
}

}  // namespace editor
