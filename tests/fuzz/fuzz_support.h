// Reporting what a fuzz target found to differ from its model, then stopping the run.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace trelvane::fuzz {

/// The bytes as space-separated hex, for a mismatch report.
inline std::string Hex(std::string_view bytes)
{
    std::string text;
    char unit[4];
    for (const char byte : bytes) {
        std::snprintf(unit, sizeof unit, "%02X ", static_cast<unsigned char>(byte));
        text += unit;
    }
    return text;
}

/// The code units as space-separated hex, for a mismatch report.
inline std::string Hex(std::u16string_view text)
{
    std::string hex;
    char unit[6];
    for (const char16_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        hex += unit;
    }
    return hex;
}

/// Prints what differed and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] inline void Mismatch(const char* what, const std::string& expected,
                                  const std::string& actual)
{
    std::fprintf(stderr, "mismatch: %s\n  expected: %s\n  actual:   %s\n", what, expected.c_str(),
                 actual.c_str());
    std::abort();
}

} // namespace trelvane::fuzz
