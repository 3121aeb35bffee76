#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace platform {

// A byte-order mark is text like any other here: dropping it would change the file on save.
static constexpr auto kFlags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

std::optional<QString> decodeText(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::System, kFlags);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> encodeText(QStringView text)
{
    QStringEncoder encoder(QStringConverter::System, kFlags);
    QByteArray bytes(encoder.requiredSpace(text.size()), Qt::Uninitialized);
    // appendToBuffer, unlike encode(), reports unpaired surrogates in Qt 6.4.
    const char *end = encoder.appendToBuffer(bytes.data(), text);
    bytes.truncate(end - bytes.constData());
    if (encoder.hasError() || !isFaithful(text, bytes))
        return std::nullopt;
    return bytes;
}

bool isFaithful([[maybe_unused]] QStringView text, [[maybe_unused]] QByteArrayView bytes)
{
#ifdef Q_OS_WIN
    // An ANSI code page turns what it lacks into '?' or a look-alike without a word; only a
    // round trip tells.
    QStringDecoder decoder(QStringConverter::System, kFlags);
    return decoder.decode(bytes) == text;
#else
    // UTF-8 holds every valid UTF-16 string, and the encoder reports unpaired surrogates.
    return true;
#endif
}

QString encodingName()
{
#ifdef Q_OS_WIN
    switch (const unsigned page = GetACP()) {
    case 932:
        return u"Shift_JIS"_s;
    case 936:
        return u"GBK"_s;
    case 949:
        return u"EUC-KR"_s;
    case 950:
        return u"Big5"_s;
    case 65001:
        return u"UTF-8"_s;
    default:
        return u"windows-%1"_s.arg(page);
    }
#else
    // Qt's system converter is UTF-8 on every platform but Windows.
    return u"UTF-8"_s;
#endif
}

}  // namespace platform
