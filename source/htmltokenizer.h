#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "source/htmlvocabulary.h"

namespace source {

// A tag or comment as a browser's tokenizer reads it from the page's text.
struct PageToken {
    enum class Kind : quint8 { Start, End, Comment, Other };
    qsizetype start = 0;
    qsizetype end = 0;  // past its ">"
    Kind kind = Kind::Other;
    bool selfClosing = false;
    bool handler = false;    // an on... attribute, which runs script
    quint8 foreign = 0;      // how deep in svg and math the text after it is
    quint16 formatting = 0;  // how many <b>, <i>, <a>... are open after it
    int page = -1;           // of a start tag: the page's element it made, in document order
    QString name;            // of a start or end tag, in lower case
};

// Where the tag a text ends in was left, read as far as it goes: what completion offers there.
struct OpenTag {
    enum class State { Name, BeforeAttribute, Attribute, AfterAttribute, BeforeValue, Value };
    State state = State::Name;
    qsizetype name = 0;  // where the element's name starts
    qsizetype attributeStart = 0, valueStart = 0;
    QChar quote;  // of the value, or none
    QString element, attribute;
};

// Reads a page's tokens one at a time, as a browser's tokenizer does, skipping text: the one
// reading of tags behind the page index, completion and the page check.
class Tokenizer {
public:
    Tokenizer(QStringView text, qsizetype from, quint8 foreign, quint16 formatting = 0,
              html::Scripting scripting = html::Scripting::On);
    enum class Step { Token, Done, Open };
    Step next(PageToken &token);
    quint8 foreign() const { return m_foreign; }
    // The formatting elements open before the text read, by name, innermost last: an end tag
    // then closes the one it names, as the parser's does.
    void setOpenFormatting(QStringList names) { m_formatting = std::move(names); }
    const QStringList &openFormatting() const { return m_formatting; }
    // Once the text ended in a token (Step::Open): where it starts, what kind it is, and, for a
    // start tag, how far it was read; and the text element whose end tag was due, if any.
    qsizetype openAt() const { return m_openAt; }
    PageToken::Kind openKind() const { return m_openKind; }
    const OpenTag &openTag() const { return m_tag; }
    const QString &rawText() const { return m_raw; }

private:
    Step rawEnd(PageToken &token);
    qsizetype read(qsizetype at, PageToken &token);
    qsizetype bogus(qsizetype from) const;
    qsizetype comment(qsizetype from, PageToken &token) const;
    qsizetype tag(qsizetype from, PageToken::Kind kind, PageToken &token);
    void format(PageToken &token);

    QStringView m_text;
    qsizetype m_pos;
    quint8 m_foreign;
    html::Scripting m_scripting;
    QStringList m_formatting;  // names, or empty for those open before the text read
    QString m_raw;             // the text element whose end tag is due
    qsizetype m_openAt = -1;
    PageToken::Kind m_openKind = PageToken::Kind::Other;
    OpenTag m_tag;
};

// Reads the tags of text from position from, in the data state at the given depth in svg and
// math, up to the end; false when a token is still open at the end of the text.
bool readTokens(QStringView text, qsizetype from, quint8 foreign, QList<PageToken> &out,
                html::Scripting scripting = html::Scripting::On);

// The formatting elements open after tokens[0, end), read as a tokenizer reads them.
QStringList openFormatting(const QList<PageToken> &tokens, qsizetype end);

// The element an end tag typed at the end of text closes, its name as its start tag has it:
// the innermost open, after what the tree builder closes by itself. None inside a tag, a
// comment or a text element such as a script.
std::optional<QString> elementToClose(QStringView text);

// The start tag that the ">" ending text ends, its name as written: none where that ">" ends
// anything else (an end tag, a comment, a void element's or a self-closing tag) or is text.
std::optional<QString> startTagEnded(QStringView text);

}  // namespace source
