// Checks shared by the code page tests: hex views and tables of decodings and encodings.
#pragma once

#include "engine/code_page.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace trelvane::test {

/// Code units as hex, so that a failed comparison shows which unit differs.
inline std::string Units(std::u16string_view text)
{
    std::string hex;
    for (const char16_t unit : text) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%04X ", static_cast<unsigned>(unit));
        hex += buffer;
    }
    return hex;
}

/// Bytes as hex.
inline std::string Hex(std::string_view bytes)
{
    std::string hex;
    for (const char byte : bytes) {
        char buffer[4];
        std::snprintf(buffer, sizeof buffer, "%02X ", static_cast<unsigned char>(byte));
        hex += buffer;
    }
    return hex;
}

inline CodePage Named(const char* codeset)
{
    const std::optional<CodePage> codePage = CodePage::FromName(codeset);
    EXPECT_TRUE(codePage.has_value()) << codeset;
    return codePage.value_or(CodePage::Utf8());
}

/// Every byte string of one byte.
inline std::vector<std::string> SingleBytes()
{
    std::vector<std::string> strings;
    for (int value = 0; value < 0x100; ++value)
        strings.emplace_back(1, static_cast<char>(value));
    return strings;
}

struct DecodeRow
{
    const char* name;
    std::string bytes;
    std::u16string expected;
};

/// Checks that each row decodes to its units and encodes back to its bytes.
inline void ExpectDecodesAndRoundTrips(const CodePage& codePage, const std::vector<DecodeRow>& rows)
{
    for (const DecodeRow& row : rows) {
        const std::u16string text = codePage.Decode(row.bytes);
        EXPECT_EQ(Units(text), Units(row.expected)) << codePage.Name() << ": " << row.name;
        std::string bytes;
        EXPECT_TRUE(codePage.Encode(text, bytes)) << codePage.Name() << ": " << row.name;
        EXPECT_EQ(Hex(bytes), Hex(row.bytes)) << codePage.Name() << ": " << row.name;
    }
}

struct EncodeRow
{
    const char* name;
    std::u16string text;
    std::string expected;
    bool complete;
};

/// Checks that each row encodes to its bytes, reporting characters without a form.
inline void ExpectEncodes(const CodePage& codePage, const std::vector<EncodeRow>& rows)
{
    for (const EncodeRow& row : rows) {
        std::string bytes;
        EXPECT_EQ(codePage.Encode(row.text, bytes), row.complete) << row.name;
        EXPECT_EQ(Hex(bytes), Hex(row.expected)) << row.name;
        EXPECT_EQ(codePage.CanEncode(row.text), row.complete) << row.name;
    }
}

/// Random byte strings, mostly of high bytes so that multi-byte sequences come up often.
inline std::vector<std::string> RandomByteStrings(unsigned seed, int count)
{
    std::mt19937 random(seed);
    std::vector<std::string> strings;
    for (int i = 0; i < count; ++i) {
        std::string bytes(random() % 24, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random() % 4 == 0 ? random() % 0x80 : 0x80 + random() % 0x80);
        strings.push_back(bytes);
    }
    return strings;
}

inline void ExpectRandomBytesRoundTrip(const CodePage& codePage)
{
    for (const std::string& bytes : RandomByteStrings(20261209, 4000)) {
        std::string back;
        EXPECT_TRUE(codePage.Encode(codePage.Decode(bytes), back)) << Hex(bytes);
        ASSERT_EQ(Hex(back), Hex(bytes)) << codePage.Name();
    }
}

} // namespace trelvane::test
