// Tests on whole 64-bit words of text: eight bytes or four UTF-16 code units at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace trelvane::wordscan {

// Positions within a word count from its low byte, which is the first in memory only here.
static_assert(std::endian::native == std::endian::little, "word scans assume little-endian");

inline constexpr std::uint64_t eachByte = 0x0101'0101'0101'0101u;
inline constexpr std::uint64_t eachUnit = 0x0001'0001'0001'0001u;
inline constexpr std::uint64_t byteHighBits = 0x8080'8080'8080'8080u;
inline constexpr std::uint64_t unitHighBits = 0x8000'8000'8000'8000u;
/// The bits of four code units that are all zero when the four are ASCII.
inline constexpr std::uint64_t nonAsciiUnitBits = 0xFF80'FF80'FF80'FF80u;

/// The eight bytes at p.
inline std::uint64_t Load(const void* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

/// The high bit of every zero byte of word, and no other bit. Exact: no carry crosses a byte.
inline std::uint64_t ZeroBytes(std::uint64_t word)
{
    return ~(((word & ~byteHighBits) + ~byteHighBits) | word) & byteHighBits;
}

/// The high bit of every byte of word equal to byte.
inline std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte)
{
    return ZeroBytes(word ^ (eachByte * byte));
}

/// The high bit of every zero code unit of word, and no other bit.
inline std::uint64_t ZeroUnits(std::uint64_t word)
{
    return ~(((word & ~unitHighBits) + ~unitHighBits) | word) & unitHighBits;
}

/// The high bit of every code unit of word equal to unit.
inline std::uint64_t UnitsEqual(std::uint64_t word, char16_t unit)
{
    return ZeroUnits(word ^ (eachUnit * unit));
}

/// The number of bytes marked in a mask of byte high bits.
inline unsigned CountByteMarks(std::uint64_t marks)
{
    return static_cast<unsigned>(((marks >> 7) * eachByte) >> 56);
}

/// The number of units marked in a mask of unit high bits.
inline unsigned CountUnitMarks(std::uint64_t marks)
{
    return static_cast<unsigned>(((marks >> 15) * eachUnit) >> 48);
}

/// The position of the first unit marked in a non-zero mask of unit high bits.
inline std::size_t FirstUnitMark(std::uint64_t marks)
{
    return static_cast<std::size_t>(std::countr_zero(marks)) / 16;
}

} // namespace trelvane::wordscan
