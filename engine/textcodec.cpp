#include "engine/textcodec.h"

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

QString declaredIn(QByteArrayView head)
{
    head = head.first(std::min(head.size(), kPrescanBytes));
    // decoderForHtml answers UTF-8 both for a page that says so and for one that says nothing.
    const QByteArray lower = head.toByteArray().toLower();
    const qsizetype meta = lower.indexOf("meta ");
    if (meta < 0 || lower.indexOf("charset=", meta) < 0)
        return {};
    const QStringDecoder decoder = QStringDecoder::decoderForHtml(head);
    if (!decoder.isValid())
        return {};
    const QString name = QString::fromLatin1(decoder.name());
    // A browser reads a page that claims UTF-16 without a byte-order mark as UTF-8.
    return name.startsWith(u"UTF-16"_s) ? u"UTF-8"_s : name;
}

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

std::optional<DecodedText> decodeDocument(QByteArrayView bytes)
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
    const QString declared = declaredIn(bytes);
    const QStringList candidates =
        !bom.isEmpty() ? QStringList{bom}
        : ascii        ? QStringList{declared, platform::systemEncoding()}
                       : QStringList{platform::systemEncoding(), declared, u"Shift_JIS"_s};
    for (const QString &encoding : candidates) {
        if (encoding.isEmpty())
            continue;
        if (std::optional<QString> text = decodeText(bytes, encoding))
            return DecodedText{std::move(*text), encoding};
    }
    return std::nullopt;
}

QString declaredEncoding(QStringView text)
{
    // The pre-scan reads ASCII only; anything else cannot spell a charset.
    return declaredIn(text.first(std::min(text.size(), kPrescanBytes)).toLatin1());
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
