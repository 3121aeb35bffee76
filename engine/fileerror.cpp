#include "engine/fileerror.h"

#include <QDir>

#include "platform/systemerror.h"

using namespace Qt::StringLiterals;

namespace engine {

namespace {

// A lone surrogate too, which toUcs4 would turn into U+FFFD.
char32_t codePoint(const QString &character)
{
    if (character.size() == 2 && character.at(0).isHighSurrogate())
        return QChar::surrogateToUcs4(character.at(0), character.at(1));
    return character.isEmpty() ? 0 : character.at(0).unicode();
}

}  // namespace

FileError::FileError(Kind kind, const QString &path, QString reason)
    : kind(kind), path(QDir::toNativeSeparators(path)), reason(std::move(reason))
{
}

FileError::FileError(Kind kind, const QString &path, const platform::OsError &error)
    : FileError(kind, path, error.reason)
{
}

QString FileError::message() const
{
    QString text;
    switch (kind) {
    case Kind::Open:
        text = u"ファイル「%1」を開けません。"_s.arg(path);
        break;
    case Kind::Read:
        text = u"ファイル「%1」を読み込めません。"_s.arg(path);
        break;
    case Kind::TooLarge:
        text = u"ファイル「%1」は大きすぎて開けません。"_s.arg(path);
        break;
    case Kind::Decode:
        text =
            u"ファイル「%1」の文字コードを判別できません。UTF-8、UTF-"
            u"16、ページが宣言する文字コード、"
            u"Shift_JIS (CP932) のどれとしても読めないバイトがあります。"
            u"内容を壊さないよう、開くのを中止しました。"_s.arg(path);
        break;
    case Kind::Write:
        text = u"ファイル「%1」に書き込めません。"_s.arg(path);
        break;
    case Kind::Encode:
        text =
            u"%2 行目の文字「%3」は文字コード %4 で表せないため、ファイル「%1」に書き込めません。"
            u"その文字を書き換えるか、文字参照 (&#x%5;) にしてください。"_s.arg(
                path, QString::number(line), character, encoding,
                QString::number(codePoint(character), 16).toUpper());
        break;
    case Kind::Folder:
        text = u"フォルダー「%1」を使えません。"_s.arg(path);
        break;
    }
    if (!reason.isEmpty())
        text += u"\n理由: "_s + reason;
    return text;
}

}  // namespace engine
