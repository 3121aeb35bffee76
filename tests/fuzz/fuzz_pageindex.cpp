// The page index and the patch planner, through edits: after any edit, the index brought up to
// date in place equals a fresh read of the new text, and a plan reads only inside both texts,
// its slice put between the old text's ends giving the new text.
#include <cstdio>
#include <variant>

#include "source/pagepatch.h"
#include "tests/fuzz/fuzzinput.h"

namespace {

QStringList startTags(const QList<source::PageToken> &tokens)
{
    QStringList names;
    for (const source::PageToken &t : tokens)
        if (t.kind == source::PageToken::Kind::Start)
            names.append(t.name);
    return names;
}

bool sameTokens(const QList<source::PageToken> &a, const QList<source::PageToken> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].start != b[i].start || a[i].end != b[i].end || a[i].kind != b[i].kind ||
            a[i].name != b[i].name || a[i].selfClosing != b[i].selfClosing ||
            a[i].handler != b[i].handler || a[i].foreign != b[i].foreign ||
            a[i].formatting != b[i].formatting)
            return false;
    }
    return true;
}

// What broke, for the one who reads the crash.
void describe(const char *what, const QString &text, const QList<source::PageToken> &tokens)
{
    QString shown;
    for (const QChar c : text)
        shown += c.unicode() < 0x20 || c.unicode() == 0x7f
                     ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'))
                     : QString(c);
    fprintf(stderr, "%s: %s\n", what, qPrintable(shown));
    for (const source::PageToken &t : tokens)
        fprintf(stderr, "  %lld-%lld kind %d %s foreign %d formatting %d\n", (long long)t.start,
                (long long)t.end, int(t.kind), qPrintable(t.name), int(t.foreign),
                int(t.formatting));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    QString text = takeText(input, 8192);
    source::PageIndex index;
    index.setText(text);
    // The page made exactly the elements its start tags name.
    index.setElements(startTags(index.tokens()));
    while (input.remaining_bytes() > 0) {
        const qsizetype at = input.ConsumeIntegralInRange<qsizetype>(0, text.size());
        const qsizetype removed = input.ConsumeIntegralInRange<qsizetype>(0, text.size() - at);
        const QString now = QString(text).replace(at, removed, takeText(input, 64));
        const auto plan = index.plan(now);
        if (const auto *patch = std::get_if<source::PagePatch>(&plan); patch && !patch->unchanged) {
            FUZZ_CHECK(0 <= patch->from && patch->from <= patch->oldEnd &&
                       patch->oldEnd <= text.size());
            FUZZ_CHECK(patch->from <= patch->newEnd && patch->newEnd <= now.size());
            FUZZ_CHECK(text.first(patch->from) +
                           now.sliced(patch->from, patch->newEnd - patch->from) +
                           text.sliced(patch->oldEnd) ==
                       now);
            FUZZ_CHECK(0 <= patch->firstToken && patch->firstToken <= patch->endToken &&
                       patch->endToken <= index.tokens().size());
            const QList<source::PageToken> before = index.tokens();
            index.applied(*patch, now, -1, 0, {});
            source::PageIndex fresh;
            fresh.setText(now);
            if (!sameTokens(index.tokens(), fresh.tokens())) {
                describe("before", text, before);
                fprintf(stderr,
                        "patch from %lld old end %lld new end %lld tokens %lld-%lld body end %d\n",
                        (long long)patch->from, (long long)patch->oldEnd, (long long)patch->newEnd,
                        (long long)patch->firstToken, (long long)patch->endToken,
                        int(patch->toBodyEnd));
                describe("patch", now, patch->tokens);
                describe("was", text, index.tokens());
                describe("now", now, fresh.tokens());
            }
            FUZZ_CHECK(sameTokens(index.tokens(), fresh.tokens()));
        } else if (!std::get_if<source::PagePatch>(&plan)) {
            index.setText(now);
            index.setElements(startTags(index.tokens()));
        }
        text = now;
    }
    return 0;
}
