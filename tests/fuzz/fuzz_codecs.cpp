// A document opened and saved again, as the program opens and saves it, for each encoding a
// page may be read in: its text is the same when opened again, and where its lines already end
// as saving ends them, its bytes come back with the one line end that saving adds.
#include <cstdio>

#include "engine/textcodec.h"
#include "engine/textfile.h"
#include "tests/fuzz/fuzzinput.h"

namespace {

// The encodings a page is read in here: by its mark, the system's, its charset, Shift_JIS; and
// those a page may be in, whose stylesheets and scripts are read in them.
const char *const kEncodings[] = {"UTF-8",      "Shift_JIS", "EUC-JP",       "ISO-2022-JP",
                                  "UTF-16LE",   "UTF-16BE",  "windows-1252", "GBK",
                                  "Big5",       "EUC-KR",    "KOI8-R",       "windows-1251",
                                  "ISO-8859-2", "gb18030",   "macintosh",    "windows-874"};

struct Opened {
    QString text, encoding;
};

// What the file is read as: a page, a stylesheet or a script, and its page's encoding.
engine::Declares declares = engine::Declares::Meta;
QString pageEncoding;

// What opening the bytes gives, as ReadTextFile does without the file.
std::optional<Opened> open(QByteArrayView bytes)
{
    const std::optional<engine::DecodedText> decoded =
        engine::decodeDocument(bytes, declares, pageEncoding);
    if (!decoded)
        return std::nullopt;
    return Opened{engine::LinesFromFile(decoded->text), decoded->encoding};
}

// What saving writes, as WriteTextFile does without the file.
std::optional<QByteArray> save(const Opened &document)
{
    const engine::EncodedText encoded =
        engine::encodeText({document.text, u"\r\n"}, document.encoding);
    if (encoded.result != engine::EncodedText::Result::Ok)
        return std::nullopt;
    return encoded.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // A page, stylesheet or script that declares one of them, written in it, or any bytes at
    // all; a stylesheet or script read for a page in one of them.
    declares = input.PickValueInArray(
        {engine::Declares::Meta, engine::Declares::CharsetRule, engine::Declares::Nothing});
    pageEncoding = QString::fromLatin1(input.PickValueInArray(kEncodings));
    QByteArray bytes;
    if (input.ConsumeBool()) {
        const QByteArray encoding = input.PickValueInArray(kEncodings);
        bytes = declares == engine::Declares::CharsetRule ? "@charset \"" + encoding + "\";\r\n"
                                                          : "<meta charset=" + encoding + ">\r\n";
    }
    const std::string rest = input.ConsumeRemainingBytesAsString();
    bytes += QByteArray(rest.data(), qsizetype(rest.size()));

    const std::optional<engine::DecodedText> decoded =
        engine::decodeDocument(bytes, declares, pageEncoding);
    const std::optional<Opened> opened = open(bytes);
    FUZZ_CHECK(decoded.has_value() == opened.has_value());
    if (!opened)
        return 0;
    const std::optional<QByteArray> saved = save(*opened);
    // A text opened can always be saved in the encoding it was read in.
    FUZZ_CHECK(saved.has_value());
    // Saving changes the bytes only where opening said it would.
    const bool said = !engine::rewrittenOnSave(bytes, decoded->text, decoded->encoding).isEmpty();
    if (said)
        return 0;
    const std::optional<Opened> again = open(*saved);
    if (!again || again->encoding != opened->encoding)
        fprintf(stderr, "opened in %s, saved as %s, opened again in %s\n",
                qPrintable(opened->encoding), saved->toHex(' ').constData(),
                again ? qPrintable(again->encoding) : "nothing");
    // Saving ends the text with one more line end, and nothing else changes.
    FUZZ_CHECK(again && again->encoding == opened->encoding &&
               again->text == opened->text + QStringLiteral("\r\n"));
    if (decoded->text == opened->text) {
        const engine::EncodedText end = engine::encodeText({u"\r\n"}, opened->encoding);
        FUZZ_CHECK(*saved == bytes + end.bytes);
    }
    return 0;
}
