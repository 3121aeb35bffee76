#include "platform/systemerror.h"

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace platform {

QString systemErrorReason(int code)
{
#ifdef Q_OS_WIN
    switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return u"ディスクの空き容量が足りません。"_s;
    case ERROR_WRITE_PROTECT:
        return u"書き込みが禁止されたドライブです。"_s;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return u"アクセスする権限がないか、ほかのプログラムが使用中です。"_s;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NOT_READY:
        return u"見つかりません。ドライブが外されたか、フォルダーが削除された可能性があります。"_s;
    case ERROR_FILENAME_EXCED_RANGE:
        return u"名前が長すぎます。"_s;
    case ERROR_TOO_MANY_OPEN_FILES:
        return u"開いているファイルが多すぎます。"_s;
    case ERROR_CRC:
    case ERROR_GEN_FAILURE:
        return u"ドライブの読み書きでエラーが起きました。"_s;
    }
#else
    switch (code) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return u"ディスクの空き容量が足りません。"_s;
    case EROFS:
        return u"読み取り専用のファイルシステムです。"_s;
    case EACCES:
    case EPERM:
        return u"アクセスする権限がありません。"_s;
    case ENOENT:
        return u"見つかりません。ドライブが外されたか、フォルダーが削除された可能性があります。"_s;
    case ENOTDIR:
        return u"パスの途中にフォルダーではないものがあります。"_s;
    case EISDIR:
        return u"ファイルではなくフォルダーです。"_s;
    case ENAMETOOLONG:
        return u"名前が長すぎます。"_s;
    case EMFILE:
    case ENFILE:
        return u"開いているファイルが多すぎます。"_s;
    case EIO:
        return u"ドライブの読み書きでエラーが起きました。ドライブの故障か、外された可能性があります。"_s;
    case EFBIG:
        return u"ファイルが大きすぎます。"_s;
    case ELOOP:
        return u"リンクが循環しています。"_s;
    case EBUSY:
    case ETXTBSY:
        return u"ほかのプログラムが使用中です。"_s;
    case ENXIO:
    case ENODEV:
        return u"デバイスがありません。"_s;
    case ENOMEM:
        return u"メモリが足りません。"_s;
    }
#endif
    return u"システムのエラーです (エラー番号 %1)。"_s.arg(code);
}

}  // namespace platform
