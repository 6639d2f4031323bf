// purgent's time arguments: the age of -a ("3d", "2M") in 100-ns intervals and the duration of
// -d ("30s") in milliseconds. Both are a decimal number and one unit letter, with nothing around
// them; they differ only in their units and limits, which one grammar record per switch holds.
#pragma once
#include "platform/platform.h"

#include <span>

// A unit letter (letter case counts) and what one of it is worth in the result's unit.
struct TimeUnit {
    wchar_t letter;
    ULONGLONG scale;
};

struct TimeGrammar {
    char switchLetter;              // as the messages name the switch
    const char* example;            // what the message of an unrecognized argument suggests
    std::span<const TimeUnit> units;
    long long numberLimit;          // the largest number before the unit
    ULONGLONG valueLimit;           // the largest result
};

// -a: s, m, h, d, w, M (30 days) and Y (365 days), any number of 64 bits, any result of 64 bits.
extern const TimeGrammar kAgeGrammar;
// -d: s, m and h, a number of 31 bits, a result of 32 bits.
extern const TimeGrammar kDurationGrammar;

enum class TimeParse {
    kParsed,
    kUnrecognized,      // not one or more digits followed by one of the grammar's unit letters
    kNumberOutOfRange,  // the number exceeds the grammar's number limit (or 64 bits)
    kValueOutOfRange,   // number x unit exceeds the grammar's value limit (or 64 bits)
};

// Reads `text` by `grammar`; `value` is written only when the result is kParsed.
TimeParse ParseTimeArgument(const wchar_t* text, const TimeGrammar& grammar, ULONGLONG& value);

// The -a and -d arguments as ParseCommandLine reads them: each prints the message of a refused
// argument and returns false.
bool ParseAge(const wchar_t* text, ULONGLONG& age);
bool ParseDuration(const wchar_t* text, DWORD& milliseconds);
