#include "engine/textcodec.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <optional>

#include "platform/systemencoding.h"

using namespace Qt::StringLiterals;

namespace engine {

namespace {

// A byte-order mark is text like any other here: dropping it would change the file on save.
constexpr auto kFlags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

// How far into a page a browser looks for its charset.
constexpr qsizetype kPrescanBytes = 1024;

// Whether bytes, as the encoder made them from text, stand for exactly that text.
bool isFaithful([[maybe_unused]] QStringView text, [[maybe_unused]] QByteArrayView bytes,
                [[maybe_unused]] const QString &encoding)
{
#ifdef Q_OS_WIN
    // An ANSI code page turns what it lacks into '?' or a look-alike without a word; only a
    // round trip tells.
    QStringDecoder decoder(encoding.toLatin1().constData(), kFlags);
    return decoder.decode(bytes) == text;
#else
    // The encoders here report what they cannot hold, unpaired surrogates included.
    return true;
#endif
}

// Only on failure: the first character of text the encoding cannot hold, and where it is.
void findUnencodable(QStringView text, const QString &encoding, EncodedText &result)
{
    QStringEncoder encoder(encoding.toLatin1().constData(), QStringConverter::Flag::Stateless);
    QByteArray buffer(encoder.requiredSpace(2), Qt::Uninitialized);
    qsizetype length = 1;
    for (qsizetype at = 0; at < text.size(); at += length) {
        length = at + 1 < text.size() && text.at(at).isHighSurrogate() &&
                         text.at(at + 1).isLowSurrogate()
                     ? 2
                     : 1;
        const QStringView character = text.sliced(at, length);
        const char *end = encoder.appendToBuffer(buffer.data(), character);
        if (encoder.hasError() || !isFaithful(character, {buffer.constData(), end}, encoding)) {
            result.character = character.toString();
            result.line += int(text.first(at).count(u'\r'));
            return;
        }
    }
}

}  // namespace

bool isKnownEncoding(const QString &encoding)
{
    return !encoding.isEmpty() &&
           QStringEncoder(encoding.toLatin1().constData(), QStringConverter::Flag::Stateless)
               .isValid();
}

std::optional<QString> decodeText(QByteArrayView bytes, const QString &encoding)
{
    QStringDecoder decoder(encoding.toLatin1().constData(), kFlags);
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    // Qt's UTF-16 decoder lets an odd last byte and a lone surrogate through without a word.
    if (encoding.startsWith(u"UTF-16"_s) && (bytes.size() % 2 || !QStringView(text).isValidUtf16()))
        return std::nullopt;
    return text;
}

QString cssCharset(QByteArrayView bytes)
{
    // Byte for byte as CSS has it: no space or case may differ, and the label ends in ";.
    constexpr QByteArrayView kStart = "@charset \"";
    if (!bytes.startsWith(kStart))
        return {};
    const QByteArrayView rest =
        bytes.sliced(kStart.size()).first(std::min<qsizetype>(1024, bytes.size() - kStart.size()));
    const qsizetype end = rest.indexOf(QByteArrayView("\";"));
    if (end < 0)
        return {};
    const QString encoding = encodingForLabel(QString::fromLatin1(rest.first(end)));
    return encoding.startsWith(u"UTF-16"_s) ? u"UTF-8"_s : encoding;
}

std::optional<DecodedText> decodeDocument(QByteArrayView bytes, Declares declares,
                                          const QString &pageEncoding)
{
    QString bom;
    if (bytes.startsWith("\xef\xbb\xbf"))
        bom = u"UTF-8"_s;
    else if (bytes.startsWith("\xff\xfe"))
        bom = u"UTF-16LE"_s;
    else if (bytes.startsWith("\xfe\xff"))
        bom = u"UTF-16BE"_s;
    // Bytes that are all ASCII read the same in the system encoding whatever they are meant
    // to be; only the page's own declaration tells (ISO-2022-JP is all ASCII).
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0; });
    const QString declared = declares == Declares::Meta ? prescanEncoding(bytes) : QString();
    // Then a charset declared further on, as a browser reads the head on: saving ends lone CRs
    // in CR LF, which can push a declaration past the prescan's reach, and the file must open
    // again as it opened.
    const QString further = declared.isEmpty() && declares == Declares::Meta
                                ? prescanEncoding(bytes, 64 * 1024)
                                : QString();
    const QStringList candidates =
        !bom.isEmpty() ? QStringList{bom}
        : declares != Declares::Meta
            ? QStringList{declares == Declares::CharsetRule ? cssCharset(bytes) : QString(),
                          // Without its mark, UTF-16 would read another file once saving has
                          // made its byte count even.
                          pageEncoding.startsWith(u"UTF-16"_s) ? QString() : pageEncoding,
                          u"UTF-8"_s, platform::systemEncoding(), u"Shift_JIS"_s}
        : ascii ? QStringList{declared, platform::systemEncoding(), further}
                : QStringList{platform::systemEncoding(), declared, further, u"Shift_JIS"_s};
    for (const QString &encoding : candidates) {
        if (encoding.isEmpty())
            continue;
        std::optional<QString> text = decodeText(bytes, encoding);
        // A converter may read a code it cannot write (an extension's kanji in ISO-2022-JP, or
        // U+FFFD for one it has no character for): the text must save in what it was read in.
        if (text && (encoding.startsWith(u"UTF-"_s) ||
                     encodeText({*text}, encoding).result == EncodedText::Result::Ok))
            return DecodedText{std::move(*text), encoding};
    }
    return std::nullopt;
}

QString rewrittenOnSave(QByteArrayView bytes, const QString &text, const QString &encoding)
{
    // UTF-8 writes each character one way only.
    if (encoding == u"UTF-8"_s)
        return {};
    const EncodedText again = encodeText({text}, encoding);
    if (again.result != EncodedText::Result::Ok || again.bytes == bytes)
        return {};
    // The first character whose bytes differ: all before it came back the same.
    const qsizetype same =
        std::mismatch(bytes.begin(), bytes.end(), again.bytes.cbegin(), again.bytes.cend()).first -
        bytes.begin();
    QStringDecoder decoder(encoding.toLatin1().constData());
    qsizetype at = QString(decoder.decode(bytes.first(same))).size();
    if (at > 0 && at < text.size() && text.at(at).isLowSurrogate())
        --at;
    at = std::clamp<qsizetype>(at, 0, std::max<qsizetype>(0, text.size() - 1));
    const qsizetype length = at + 1 < text.size() && text.at(at).isHighSurrogate() ? 2 : 1;
    const QString character = text.mid(at, length);
    const int line = 1 + int(QStringView(text).first(at).count(u'\r'));
    return u"%1 行目の「%2」などは、ファイルでは %3 の別の書き方で書かれています。保存すると、"
           u"文字はそのままで、そのバイト列が標準の書き方に変わります。"_s.arg(line)
               .arg(character, encoding);
}

QString declaredEncoding(QStringView text, const QString &encoding)
{
    text = text.first(std::min(text.size(), kPrescanBytes));
    QStringEncoder encoder(encoding.toLatin1().constData(), QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        encoder = QStringEncoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    return prescanEncoding(QByteArray(encoder.encode(text)));
}

namespace {

// The standard's own name for the encoding of a label; empty for none.
QString standardEncoding(QStringView label)
{
    // Every label of the standard's table, by its encoding.
    static const QHash<QString, QString> kLabels = [] {
        const QList<std::pair<const char *, const char *>> table{
            {"UTF-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
            {"IBM866", "866 cp866 csibm866 ibm866"},
            {"ISO-8859-2",
             "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 "
             "iso_8859-2:1987 l2 latin2"},
            {"ISO-8859-3",
             "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 "
             "iso_8859-3:1988 l3 latin3"},
            {"ISO-8859-4",
             "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 "
             "iso_8859-4:1988 l4 latin4"},
            {"ISO-8859-5",
             "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 "
             "iso_8859-5 iso_8859-5:1988"},
            {"ISO-8859-6",
             "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 "
             "iso-8859-6 iso-8859-6-e iso-8859-6-i iso-ir-127 iso8859-6 iso88596 "
             "iso_8859-6 iso_8859-6:1987"},
            {"ISO-8859-7",
             "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 "
             "iso8859-7 iso88597 iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
            {"ISO-8859-8",
             "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e "
             "iso-ir-138 iso8859-8 iso88598 iso_8859-8 iso_8859-8:1988 visual"},
            // The same bytes as ISO-8859-8, read in logical order.
            {"ISO-8859-8", "csiso88598i iso-8859-8-i logical"},
            {"ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
            {"ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
            {"ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
            {"ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
            {"ISO-8859-16", "iso-8859-16"},
            {"KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
            {"KOI8-U", "koi8-ru koi8-u"},
            {"macintosh", "csmacintosh mac macintosh x-mac-roman"},
            {"windows-874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
            {"windows-1250", "cp1250 windows-1250 x-cp1250"},
            {"windows-1251", "cp1251 windows-1251 x-cp1251"},
            {"windows-1252",
             "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 "
             "iso-ir-100 iso8859-1 iso88591 iso_8859-1 iso_8859-1:1987 l1 "
             "latin1 us-ascii windows-1252 x-cp1252"},
            {"windows-1253", "cp1253 windows-1253 x-cp1253"},
            {"windows-1254",
             "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 "
             "iso_8859-9 iso_8859-9:1989 l5 latin5 windows-1254 x-cp1254"},
            {"windows-1255", "cp1255 windows-1255 x-cp1255"},
            {"windows-1256", "cp1256 windows-1256 x-cp1256"},
            {"windows-1257", "cp1257 windows-1257 x-cp1257"},
            {"windows-1258", "cp1258 windows-1258 x-cp1258"},
            {"x-mac-cyrillic", "x-mac-cyrillic x-mac-ukrainian"},
            {"GBK",
             "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 "
             "x-gbk"},
            {"gb18030", "gb18030"},
            {"Big5", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
            {"EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
            {"ISO-2022-JP", "csiso2022jp iso-2022-jp"},
            {"Shift_JIS", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
            {"EUC-KR",
             "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 "
             "ks_c_5601-1989 ksc5601 ksc_5601 windows-949"},
            // Decoded as one U+FFFD: no page can be read in it.
            {"", "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement"},
            {"UTF-16BE", "unicodefffe utf-16be"},
            {"UTF-16LE", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
            {"x-user-defined", "x-user-defined"},
        };
        QHash<QString, QString> labels;
        for (const auto &[encoding, names] : table)
            for (const QString &name : QString::fromLatin1(names).split(u' '))
                labels.insert(name, QString::fromLatin1(encoding));
        return labels;
    }();
    // The label without the white space around it, in any case.
    static const QRegularExpression kSpace(u"^[\\t\\n\\f\\r ]+|[\\t\\n\\f\\r ]+$"_s);
    return kLabels.value(label.toString().remove(kSpace).toLower());
}

bool isSpace(char c)
{
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 0x20) : c;
}

// The bytes the prescan reads, one at a time; reading past the end ends the prescan.
struct Scan {
    QByteArrayView bytes;
    qsizetype at = 0;
    bool more() const { return at < bytes.size(); }
    char here() const { return bytes[at]; }
    bool startsWith(const char *ascii, qsizetype length) const
    {
        if (bytes.size() - at < length)
            return false;
        for (qsizetype i = 0; i < length; ++i)
            if (lower(bytes[at + i]) != ascii[i])
                return false;
        return true;
    }
};

// HTML's "get an attribute": false when there is none, or the bytes end first.
bool getAttribute(Scan &scan, QByteArray &name, QByteArray &value)
{
    while (scan.more() && (isSpace(scan.here()) || scan.here() == '/'))
        ++scan.at;
    if (!scan.more() || scan.here() == '>')
        return false;
    name.clear();
    value.clear();
    for (;; ++scan.at) {
        if (!scan.more())
            return false;
        const char c = scan.here();
        if (c == '=' && !name.isEmpty()) {
            ++scan.at;
            break;
        }
        if (isSpace(c)) {
            while (scan.more() && isSpace(scan.here()))
                ++scan.at;
            if (!scan.more())
                return false;
            if (scan.here() != '=')
                return true;
            ++scan.at;
            break;
        }
        if (c == '/' || c == '>')
            return true;
        name += lower(c);
    }
    while (scan.more() && isSpace(scan.here()))
        ++scan.at;
    if (!scan.more())
        return false;
    const char first = scan.here();
    if (first == '"' || first == '\'') {
        for (++scan.at; scan.more(); ++scan.at) {
            if (scan.here() == first) {
                ++scan.at;
                return true;
            }
            value += lower(scan.here());
        }
        return false;
    }
    if (first == '>')
        return true;
    for (; scan.more(); ++scan.at) {
        if (isSpace(scan.here()) || scan.here() == '>')
            return true;
        value += lower(scan.here());
    }
    return false;
}

}  // namespace

QString encodingForLabel(QStringView label)
{
    const QString encoding = standardEncoding(label);
    return isKnownEncoding(encoding) ? encoding : QString();
}

namespace {

// HTML's "extracting a character encoding from a meta element", from a content attribute.
std::optional<QString> charsetInContent(const QByteArray &content)
{
    for (qsizetype at = 0;;) {
        at = content.indexOf("charset", at);
        if (at < 0)
            return std::nullopt;
        at += 7;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at >= content.size() || content[at] != '=')
            continue;
        ++at;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at >= content.size())
            return std::nullopt;
        if (content[at] == '"' || content[at] == '\'') {
            const qsizetype end = content.indexOf(content[at], at + 1);
            if (end < 0)
                return std::nullopt;
            return standardEncoding(QString::fromLatin1(content.sliced(at + 1, end - at - 1)));
        }
        qsizetype end = at;
        while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
            ++end;
        return standardEncoding(QString::fromLatin1(content.sliced(at, end - at)));
    }
}

}  // namespace

QString prescanEncoding(QByteArrayView bytes, qsizetype reach)
{
    Scan scan{bytes.first(std::min(bytes.size(), reach))};
    const auto skipPast = [&](char c) {
        while (scan.more() && scan.here() != c)
            ++scan.at;
    };
    const auto isLetter = [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    QByteArray name, value;
    for (; scan.more(); ++scan.at) {
        if (scan.startsWith("<!--", 4)) {
            // Ends at a ">" after two "-", which may be those of its "<!--".
            scan.at += 2;
            while (scan.more() && !scan.startsWith("-->", 3))
                ++scan.at;
            scan.at += 2;
        } else if (scan.startsWith("<meta", 5) && scan.bytes.size() > scan.at + 5 &&
                   (isSpace(scan.bytes[scan.at + 5]) || scan.bytes[scan.at + 5] == '/')) {
            scan.at += 5;
            QList<QByteArray> seen;
            bool gotPragma = false;
            std::optional<bool> needPragma;
            std::optional<QString> charset;  // empty: a label that is not known
            while (getAttribute(scan, name, value)) {
                if (seen.contains(name))
                    continue;
                seen.append(name);
                if (name == "http-equiv") {
                    gotPragma = gotPragma || value == "content-type";
                } else if (name == "content") {
                    const auto found = charsetInContent(value);
                    if (found && !found->isEmpty() && !charset) {
                        charset = *found;
                        needPragma = true;
                    }
                } else if (name == "charset" && !charset) {
                    charset = standardEncoding(QString::fromLatin1(value));
                    needPragma = false;
                }
            }
            if (!scan.more())
                return {};  // the bytes ended inside the tag
            if (!needPragma || (*needPragma && !gotPragma) || !charset || charset->isEmpty())
                continue;
            if (charset->startsWith(u"UTF-16"_s))
                return u"UTF-8"_s;
            if (*charset == u"x-user-defined"_s)
                return u"windows-1252"_s;
            return isKnownEncoding(*charset) ? *charset : QString();
        } else if (scan.startsWith("<", 1) && scan.at + 1 < scan.bytes.size() &&
                   (isLetter(scan.bytes[scan.at + 1]) ||
                    (scan.bytes[scan.at + 1] == '/' && scan.at + 2 < scan.bytes.size() &&
                     isLetter(scan.bytes[scan.at + 2])))) {
            while (scan.more() && !isSpace(scan.here()) && scan.here() != '>')
                ++scan.at;
            while (getAttribute(scan, name, value)) {
            }
        } else if (scan.startsWith("<!", 2) || scan.startsWith("</", 2) ||
                   scan.startsWith("<?", 2)) {
            skipPast('>');
        }
    }
    return {};
}

namespace {

// part as the encoder writes it from out's used bytes on, each character it cannot hold as
// its reference; the new count of used bytes. The first such character is noted in result.
qsizetype referenceInto(std::optional<QStringEncoder> &encoder, QByteArray &out, qsizetype used,
                        QStringView part, const QString &encoding, int linesBefore,
                        EncodedText &result)
{
    // An encoder's error stays with it, and resetting or moving one of the system's converters
    // breaks it: one that failed is made anew in its place.
    const QByteArray name = encoding.toLatin1();
    encoder.emplace(name.constData(), kFlags);
    std::optional<QStringEncoder> probe(std::in_place, name.constData(),
                                        QStringConverter::Flag::Stateless);
    QByteArray scratch(probe->requiredSpace(2), Qt::Uninitialized);
    // Room for the worst: every character a reference ten characters long.
    out.resize(std::max(out.size(), used + encoder->requiredSpace(part.size() * 10)));
    const auto append = [&](QStringView text) {
        used = encoder->appendToBuffer(out.data() + used, text) - out.constData();
    };
    qsizetype run = 0, length = 1;
    for (qsizetype at = 0; at < part.size(); at += length) {
        const bool pair = at + 1 < part.size() && part.at(at).isHighSurrogate() &&
                          part.at(at + 1).isLowSurrogate();
        length = pair ? 2 : 1;
        const QStringView character = part.sliced(at, length);
        const char *end = probe->appendToBuffer(scratch.data(), character);
        if (!probe->hasError() && isFaithful(character, {scratch.constData(), end}, encoding))
            continue;
        probe.emplace(name.constData(), QStringConverter::Flag::Stateless);
        append(part.sliced(run, at - run));
        const char32_t code =
            pair ? QChar::surrogateToUcs4(part.at(at), part.at(at + 1)) : part.at(at).unicode();
        append(u"&#x"_s + QString::number(uint(code), 16).toUpper() + u';');
        if (result.referenced.isEmpty()) {
            result.referenced = character.toString();
            result.referencedLine = linesBefore + 1 + int(part.first(at).count(u'\n'));
        }
        run = at + length;
    }
    append(part.sliced(run));
    return used;
}

// The one pass from text to bytes. forEach hands each part to a visitor that returns whether to
// go on; length bounds the characters.
template <typename ForEach>
EncodedText encodeParts(ForEach forEach, qsizetype length, const QString &encoding,
                        const std::atomic<bool> *cancel,
                        Unencodable unencodable = Unencodable::Refuse)
{
    EncodedText result;
    std::optional<QStringEncoder> encoder(std::in_place, encoding.toLatin1().constData(), kFlags);
    if (!encoder->isValid()) {
        result.result = EncodedText::Result::UnknownEncoding;
        return result;
    }
    // The bound is generous; only the pages the bytes really take are ever touched.
    result.bytes.resize(encoder->requiredSpace(length));
    qsizetype used = 0;
    int lines = 0;  // as an editor counts them
    result.line = 1;
    forEach([&](QStringView part) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            result.result = EncodedText::Result::Cancelled;
            return false;
        }
        // References can take more room than the bound left.
        if (const qsizetype needed = used + encoder->requiredSpace(part.size());
            needed > result.bytes.size())
            result.bytes.resize(std::max(needed, 2 * result.bytes.size()));
        char *const start = result.bytes.data() + used;
        char *const end = encoder->appendToBuffer(start, part);
        if (!encoder->hasError() && isFaithful(part, {start, end}, encoding)) {
            used = end - result.bytes.constData();
        } else if (unencodable == Unencodable::Reference) {
            used = referenceInto(encoder, result.bytes, used, part, encoding, lines, result);
        } else {
            result.result = EncodedText::Result::Unencodable;
            findUnencodable(part, encoding, result);
            return false;
        }
        result.line += int(part.count(u'\r'));
        if (unencodable == Unencodable::Reference)
            lines += int(part.count(u'\n'));
        return true;
    });
    if (result.result != EncodedText::Result::Ok) {
        result.bytes.clear();
        return result;
    }
    result.bytes.truncate(used);
    result.line = 0;
    return result;
}

}  // namespace

EncodedText encodeText(std::initializer_list<QStringView> parts, const QString &encoding)
{
    qsizetype length = 0;
    for (const QStringView part : parts)
        length += part.size();
    const auto forEach = [&](const auto &visit) {
        for (const QStringView part : parts)
            if (!visit(part))
                return;
    };
    return encodeParts(forEach, length, encoding, nullptr);
}

EncodedText encodeText(const TextSnapshot &text, QStringView tail, const QString &encoding,
                       const std::atomic<bool> *cancel, Unencodable unencodable)
{
    const auto forEach = [&](const auto &visit) {
        bool going = true;
        text.forEachPart([&](QStringView part) { return going = visit(part); });
        if (going)
            visit(tail);
    };
    return encodeParts(forEach, text.sizeBound() + tail.size(), encoding, cancel, unencodable);
}

}  // namespace engine
