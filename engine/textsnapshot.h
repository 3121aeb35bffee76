#pragma once

#include <QList>
#include <QString>

namespace engine {

// The editor's text as the preview file takes it, cheap to copy and to hand to another thread:
// a plain string, or the editor's own chunks, in which a paragraph separator (U+2029) stands for
// CR LF and every other character for itself. Copying shares the characters.
class TextSnapshot {
public:
    TextSnapshot() = default;
    TextSnapshot(QString text) : m_parts{std::move(text)} {}  // NOLINT: a string is a snapshot
    static TextSnapshot fromEditorChunks(QList<QString> chunks);

    // The first characters, as the file has them: enough for a browser's charset pre-scan.
    QString head(qsizetype length) const;
    QString toString() const;
    // At most this many characters in the file; a bound, not the size.
    qsizetype sizeBound() const;
    bool isEmpty() const;

    // Calls visit with each part as the file has it, until it returns false.
    template <typename Visit>
    void forEachPart(Visit visit) const
    {
        QString converted;
        for (const QString &part : m_parts) {
            if (!m_editorForm) {
                if (!visit(QStringView(part)))
                    return;
                continue;
            }
            converted = fileForm(part);
            if (!visit(QStringView(converted)))
                return;
        }
    }

    // Same characters. Chunks an edit did not touch are still shared, and not compared.
    friend bool operator==(const TextSnapshot &a, const TextSnapshot &b);

private:
    static QString fileForm(QStringView editorText);
    static void appendFileForm(QStringView editorText, QString &out);

    QList<QString> m_parts;
    bool m_editorForm = false;
};

}  // namespace engine
