// The byte keys of AddressSet: an order-preserving code for UTF-16 lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace trelvane {
namespace addresskey {

// The ASCII fast paths: whole words of units below 0x80.
inline bool IsAsciiQuad(const char16_t* units)
{
    std::uint64_t word;
    std::memcpy(&word, units, sizeof word);
    return (word & 0xFF80'FF80'FF80'FF80u) == 0;
}

inline bool IsAsciiOctet(const unsigned char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return (word & 0x8080'8080'8080'8080u) == 0;
}

/// Keys by their first byte, in key order: the empty key's group first, then one per byte.
inline constexpr std::size_t groupCount = 257;

inline std::size_t GroupOf(std::string_view key)
{
    return key.empty() ? 0 : 1 + static_cast<unsigned char>(key[0]);
}

} // namespace addresskey

/// Writes the key of line to out (which needs room for 3 bytes per unit) and returns its length.
///
/// Each UTF-16 code unit becomes the UTF-8 form of its own value, surrogates included (three bytes
/// each). The code is prefix-free and keeps order, so the byte order of two keys (unsigned, a
/// proper prefix first) is the code-unit order of their lines; ASCII stays one byte.
inline std::size_t EncodeAddressKey(std::u16string_view line, char* out)
{
    auto* begin = reinterpret_cast<unsigned char*>(out);
    auto* next = begin;
    std::size_t at = 0;
    for (; at + 4 <= line.size() && addresskey::IsAsciiQuad(line.data() + at); at += 4) {
        for (std::size_t i = 0; i < 4; ++i)
            *next++ = static_cast<unsigned char>(line[at + i]);
    }
    for (const char16_t unit : line.substr(at)) {
        if (unit < 0x80) {
            *next++ = static_cast<unsigned char>(unit);
        } else if (unit < 0x800) {
            *next++ = static_cast<unsigned char>(0xC0 | (unit >> 6));
            *next++ = static_cast<unsigned char>(0x80 | (unit & 0x3F));
        } else {
            *next++ = static_cast<unsigned char>(0xE0 | (unit >> 12));
            *next++ = static_cast<unsigned char>(0x80 | ((unit >> 6) & 0x3F));
            *next++ = static_cast<unsigned char>(0x80 | (unit & 0x3F));
        }
    }
    return static_cast<std::size_t>(next - begin);
}

/// Writes the line of a key made by EncodeAddressKey to out (which needs room for one unit per
/// key byte) and returns its number of units.
inline std::size_t DecodeAddressKey(std::string_view key, char16_t* out)
{
    const auto* next = reinterpret_cast<const unsigned char*>(key.data());
    const auto* end = next + key.size();
    char16_t* begin = out;
    for (; end - next >= 8 && addresskey::IsAsciiOctet(next); next += 8) {
        for (std::size_t i = 0; i < 8; ++i)
            *out++ = next[i];
    }
    while (next != end) {
        const unsigned lead = *next;
        if (lead < 0x80) {
            *out++ = static_cast<char16_t>(lead);
            next += 1;
        } else if (lead < 0xE0) {
            *out++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (next[1] & 0x3F));
            next += 2;
        } else {
            *out++ = static_cast<char16_t>(((lead & 0x0F) << 12) | ((next[1] & 0x3F) << 6) |
                                           (next[2] & 0x3F));
            next += 3;
        }
    }
    return static_cast<std::size_t>(out - begin);
}

} // namespace trelvane
