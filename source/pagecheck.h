#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <atomic>

// What is wrong with a page as HTML5, by a real validator (libtidy), said in Japanese where it
// is. The browser quietly repairs all of it, so the page looks right here and breaks elsewhere.
namespace source {

struct Problem {
    int line = 0;            // from 1, each line end one line, as the gutter numbers them
    int column = 0;          // from 1, in characters of the text
    qsizetype position = 0;  // in the text, each line end one character
    qsizetype length = 1;    // what to underline: the tag or reference there
    QByteArray key;          // the validator's name for it
    QString message;         // in Japanese

    friend bool operator==(const Problem &, const Problem &) = default;
};

// Larger pages are not checked: the validator takes about a second a ten megabytes, and its
// reading of a page that size is of little use by the time it comes.
inline constexpr qsizetype kLargestChecked = 4 * 1024 * 1024;

// The problems of text, whose line ends are each a LF, in the order of the text. Returns early
// with nothing once cancelled.
QList<Problem> checkPage(QStringView text, const std::atomic<bool> *cancelled = nullptr);

// The Japanese for one of the validator's messages, its arguments as it gives them: a text of
// its own for each kind a hand-written page meets, one general line naming them for the rest.
QString problemText(const QByteArray &key, const QStringList &arguments);

}  // namespace source
