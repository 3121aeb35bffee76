#pragma once

#include <QString>

// An HTML page of about the given size in UTF-8, Japanese and ASCII mixed as in a real page.
inline QString htmlOfSize(qsizetype bytes)
{
    using namespace Qt::StringLiterals;
    QString text = u"<!DOCTYPE html>\r\n<html><body>\r\n"_s;
    const QString line =
        u"<p class=\"x\">日本語のテキスト and some ASCII text to fill a line.</p>\r\n"_s;
    const qsizetype lineBytes = line.toUtf8().size();
    qsizetype size = text.toUtf8().size();
    while (size + lineBytes <= bytes) {
        text += line;
        size += lineBytes;
    }
    return text + QString(bytes - size, u'x');
}
