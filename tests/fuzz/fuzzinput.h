#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <QString>

// A text from the fuzzer's bytes, as UTF-8 where they are, each other byte a character of its
// own (so that every byte counts); lone surrogates come from "\xed\xa0\x80".
inline QString textOf(const std::string &bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

inline QString takeText(FuzzedDataProvider &input, size_t most)
{
    return textOf(input.ConsumeRandomLengthString(most));
}

// Fails the run with what broke, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
            abort();                                                                      \
        }                                                                                 \
    } while (false)
