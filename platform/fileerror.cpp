#include "fileerror.h"

#include "textcodec.h"

using namespace Qt::StringLiterals;

namespace platform {

QString FileError::message() const
{
    QString what;
    switch (kind) {
    case Kind::Open:
        what = u"ファイル「%1」を開けません。"_s;
        break;
    case Kind::Read:
        what = u"ファイル「%1」を読み込めません。"_s;
        break;
    case Kind::TooLarge:
        what = u"ファイル「%1」は大きすぎて開けません。"_s;
        break;
    case Kind::Decode:
        what =
            u"ファイル「%1」には文字コード %2 として読めないバイトがあります。"
            u"内容を壊さないよう、開くのを中止しました。"_s.arg(u"%1"_s, encodingName());
        break;
    case Kind::Write:
        what = u"ファイル「%1」に書き込めません。"_s;
        break;
    case Kind::Encode:
        what = u"文字コード %2 で表せない文字があるため、ファイル「%1」に書き込めません。"_s.arg(
            u"%1"_s, encodingName());
        break;
    case Kind::Folder:
        what = u"フォルダー「%1」を使えません。"_s;
        break;
    }
    QString text = what.arg(path);
    if (!reason.isEmpty())
        text += u"\n理由: "_s + reason;
    return text;
}

}  // namespace platform
