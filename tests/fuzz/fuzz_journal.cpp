// The journal reader: any bytes give whole records or a refusal. What it reads of them, it reads
// of the whole records alone, and their end is where it says.
#include <cstdio>

#include "engine/journal.h"
#include "tests/fuzz/fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const std::optional<engine::JournalEntry> entry = engine::Journal::parse(bytes);
    if (!entry)
        return 0;
    FUZZ_CHECK(entry->dropped >= 0 && entry->dropped <= bytes.size());
    const std::optional<engine::JournalEntry> whole =
        engine::Journal::parse(bytes.first(bytes.size() - entry->dropped));
    FUZZ_CHECK(whole && whole->dropped == 0 && whole->text == entry->text &&
               whole->path == entry->path && whole->encoding == entry->encoding);
    return 0;
}
