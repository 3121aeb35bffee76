// The chunked text against a plain string, after any edits.
#include <cstdio>
#include <string>

#include "engine/chunkedtext.h"
#include "tests/fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    QString model = takeText(input, 4096);
    engine::ChunkedText text(model);
    while (input.remaining_bytes() > 0) {
        const qsizetype at = input.ConsumeIntegralInRange<qsizetype>(0, model.size());
        const qsizetype removed = input.ConsumeIntegralInRange<qsizetype>(0, model.size() - at);
        // Now and then a long insertion, across chunks.
        const QString inserted =
            input.ConsumeBool()
                ? takeText(input, 32)
                : takeText(input, 8).repeated(input.ConsumeIntegralInRange(0, 5000));
        text.replace(at, removed, inserted);
        model.replace(at, removed, inserted);
        FUZZ_CHECK(text.size() == model.size());
        const qsizetype from = input.ConsumeIntegralInRange<qsizetype>(0, model.size());
        const qsizetype length = input.ConsumeIntegralInRange<qsizetype>(0, model.size() - from);
        FUZZ_CHECK(text.mid(from, length) == model.mid(from, length));
        const QChar c = model.isEmpty() ? QChar(u'\n') : model.at(from == model.size() ? 0 : from);
        FUZZ_CHECK(text.count(c, from, from + length) ==
                   QStringView(model).sliced(from, length).count(c));
        FUZZ_CHECK(text.lastIndexOf(c, from) == (from == 0 ? -1 : model.lastIndexOf(c, from - 1)));
        if (from < model.size()) {
            const QStringView run = text.runAt(from);
            FUZZ_CHECK(!run.isEmpty() && run == QStringView(model).sliced(from, run.size()));
        }
    }
    FUZZ_CHECK(text.toString() == model);
    return 0;
}
