#include "platform/systemencoding.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace platform {

QString systemEncoding()
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
