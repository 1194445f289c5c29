// Code pages other than UTF-8, through ICU's converters.
//
// Single-byte code pages are turned into tables once; multi-byte ones run through a converter of
// the calling thread, since an ICU converter must not be used by two threads at once.
#include "engine/code_page_converter.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <vector>

namespace trelvane::codepage {
namespace {

/// Closes an ICU converter.
struct ConverterCloser
{
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterHandle = std::unique_ptr<UConverter, ConverterCloser>;

/// Opens icuName with decoding stopping at the first invalid sequence; null when ICU has none.
ConverterHandle OpenConverter(const std::string& icuName)
{
    UErrorCode error = U_ZERO_ERROR;
    ConverterHandle converter(ucnv_open(icuName.c_str(), &error));
    if (U_FAILURE(error))
        return nullptr;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &error);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &error);
    return U_SUCCESS(error) ? std::move(converter) : nullptr;
}

/// The converter for icuName of the calling thread, opened on first use.
UConverter* ThreadConverter(const std::string& icuName)
{
    struct Entry
    {
        std::string icuName;
        ConverterHandle converter;
    };
    thread_local std::vector<Entry> entries;
    for (const Entry& entry : entries) {
        if (entry.icuName == icuName)
            return entry.converter.get();
    }
    ConverterHandle converter = OpenConverter(icuName);
    if (!converter)
        throw std::bad_alloc(); // the name opened before, so only memory can be missing
    entries.push_back({icuName, std::move(converter)});
    return entries.back().converter.get();
}

/// Decodes one whole sequence alone; empty when it is not valid on its own.
std::u16string DecodeAlone(UConverter* converter, std::string_view bytes)
{
    std::array<UChar, 8> units{};
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length =
        ucnv_toUChars(converter, units.data(), static_cast<int32_t>(units.size()), bytes.data(),
                      static_cast<int32_t>(bytes.size()), &error);
    if (U_FAILURE(error))
        return {};
    return std::u16string(units.data(), static_cast<std::size_t>(length));
}

/// Encodes one character alone; empty when it has no form.
std::string EncodeAlone(UConverter* converter, std::u16string_view text)
{
    std::array<char, 16> bytes{};
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length =
        ucnv_fromUChars(converter, bytes.data(), static_cast<int32_t>(bytes.size()), text.data(),
                        static_cast<int32_t>(text.size()), &error);
    if (U_FAILURE(error))
        return {};
    return std::string(bytes.data(), static_cast<std::size_t>(length));
}

/// The code unit ICU gives for each ASCII byte.
using AsciiUnits = std::array<char16_t, 0x80>;

/// The ICU code unit of each ASCII byte, when each ASCII byte is a character of its own whose
/// unit is ASCII and encodes back to it; nullopt otherwise. IBM's tables (Shift_JIS, CP437) swap
/// the control codes 0x1A, 0x1C and 0x7F, which Windows does not; the converters undo the swap,
/// so that ASCII always stands for itself, as the line reader and the fast paths need.
std::optional<AsciiUnits> ReadAsciiUnits(UConverter* converter)
{
    AsciiUnits units{};
    for (std::size_t value = 0; value < units.size(); ++value) {
        const char byte = static_cast<char>(value);
        const std::string_view bytes(&byte, 1);
        const std::u16string text = DecodeAlone(converter, bytes);
        if (text.size() != 1 || text[0] >= 0x80 || EncodeAlone(converter, text) != bytes)
            return std::nullopt;
        units[value] = text[0];
    }
    return units;
}

/// A single-byte code page as tables. A byte whose character has no form in the code page
/// (or that has no character) is escaped, so that no byte is lost.
class TableConverter final : public CodePage::Converter
{
public:
    TableConverter(std::string codesetName, UConverter* converter)
        : Converter(std::move(codesetName)), toBytes_(0x10000, none)
    {
        for (char16_t ascii = 0; ascii < 0x80; ++ascii)
            toText_[ascii] = toBytes_[ascii] = ascii;
        for (unsigned value = 0x80; value < 0x100; ++value)
            AddByte(converter, static_cast<unsigned char>(value));
    }

    void Decode(std::string_view bytes, std::u16string& out) const override
    {
        const std::size_t start = out.size();
        out.resize(start + bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            out[start + i] = toText_[static_cast<unsigned char>(bytes[i])];
    }

    bool Encode(std::u16string_view text, std::string& out) const override
    {
        const std::size_t start = out.size();
        out.resize(start + text.size());
        std::size_t written = start;
        for (const char16_t unit : text) {
            if (toBytes_[unit] != none)
                out[written++] = static_cast<char>(toBytes_[unit]);
        }
        out.resize(written);
        return written - start == text.size();
    }

    bool CanEncode(std::u16string_view text) const override
    {
        return std::all_of(text.begin(), text.end(),
                           [this](char16_t unit) { return toBytes_[unit] != none; });
    }

private:
    static constexpr std::uint16_t none = 0xFFFF;

    void AddByte(UConverter* converter, unsigned char byte)
    {
        const char raw = static_cast<char>(byte);
        const std::u16string text = DecodeAlone(converter, std::string_view(&raw, 1));
        const std::string back = text.size() == 1 ? EncodeAlone(converter, text) : std::string();
        toBytes_[EscapeOf(byte)] = byte;
        if (back.size() != 1 || text[0] < 0x80 || IsSurrogate(text[0])) {
            toText_[byte] = EscapeOf(byte);
            return;
        }
        toText_[byte] = text[0];
        toBytes_[text[0]] = static_cast<unsigned char>(back[0]);
    }

    std::array<char16_t, 0x100> toText_{};
    std::vector<std::uint16_t> toBytes_;
};

/// Decodes from p on with the thread's converter, escaping the first byte of each invalid
/// sequence and going on right after it: ICU may report a valid byte that follows as part of the
/// invalid sequence, and that byte must still be decoded.
void DecodeMultiByte(UConverter* converter, std::string_view bytes, std::u16string& out)
{
    const char* source = bytes.data();
    const char* const end = source + bytes.size();
    const char* handled = source; // everything before it is decoded or escaped
    std::size_t written = out.size();
    out.resize(written + 2 * bytes.size() + 2);
    ucnv_resetToUnicode(converter);
    for (;;) { // until ICU has given out everything, which may be after the last byte is read
        UErrorCode error = U_ZERO_ERROR;
        UChar* target = out.data() + written;
        ucnv_toUnicode(converter, &target, out.data() + out.size(), &source, end, nullptr, true,
                       &error);
        written = static_cast<std::size_t>(target - out.data());
        if (error == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(2 * out.size());
            continue;
        }
        if (U_SUCCESS(error))
            break;
        std::array<char, 32> invalid{};
        auto invalidLength = static_cast<int8_t>(invalid.size());
        error = U_ZERO_ERROR;
        ucnv_getInvalidChars(converter, invalid.data(), &invalidLength, &error);
        const char* offending = std::max(source - std::max<int8_t>(invalidLength, 1), handled);
        if (written == out.size())
            out.resize(2 * out.size());
        out[written++] = EscapeOf(static_cast<unsigned char>(*offending));
        handled = source = offending + 1;
        ucnv_resetToUnicode(converter);
    }
    out.resize(written);
}

/// Encoding state of one call, reached from the ICU callback.
struct EncodeState
{
    mutable bool complete = true;
};

/// Writes an escaped byte back as the byte; leaves out any other character without a form.
void EscapeOrSkip(const void* context, UConverterFromUnicodeArgs* args, const UChar* codeUnits,
                  int32_t length, UChar32 /*codePoint*/, UConverterCallbackReason reason,
                  UErrorCode* error)
{
    if (reason > UCNV_IRREGULAR)
        return; // reset, close or clone: nothing to convert
    *error = U_ZERO_ERROR;
    if (length == 1 && IsEscapedByte(codeUnits[0])) {
        const char byte = static_cast<char>(codeUnits[0] - escapeBase);
        ucnv_cbFromUWriteBytes(args, &byte, 1, 0, error);
        return;
    }
    static_cast<const EncodeState*>(context)->complete = false;
}

bool EncodeMultiByte(UConverter* converter, std::u16string_view text, std::string& out)
{
    EncodeState state;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter, EscapeOrSkip, &state, nullptr, nullptr, &error);
    ucnv_resetFromUnicode(converter);
    const UChar* source = text.data();
    const UChar* const end = source + text.size();
    std::size_t written = out.size();
    out.resize(written + static_cast<std::size_t>(ucnv_getMaxCharSize(converter)) * text.size());
    while (U_SUCCESS(error)) {
        char* target = out.data() + written;
        ucnv_fromUnicode(converter, &target, out.data() + out.size(), &source, end, nullptr, true,
                         &error);
        written = static_cast<std::size_t>(target - out.data());
        if (error != U_BUFFER_OVERFLOW_ERROR)
            break;
        error = U_ZERO_ERROR;
        out.resize(2 * out.size() + 16);
    }
    out.resize(written);
    return U_SUCCESS(error) && state.complete;
}

/// Decodes one character at a time, each only when it encodes back to the very bytes it came
/// from; a byte that starts no such character is escaped. The slow way, for texts in which
/// DecodeMultiByte met a one-way mapping.
void DecodeRoundTrips(UConverter* converter, std::string_view bytes, std::u16string& out)
{
    // EncodeMultiByte left its own callback, whose state is gone.
    UErrorCode error = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    const auto longest = static_cast<std::size_t>(ucnv_getMaxCharSize(converter));
    std::size_t position = 0;
    while (position < bytes.size()) {
        std::size_t length = 1;
        for (; length <= longest && position + length <= bytes.size(); ++length) {
            const std::string_view sequence = bytes.substr(position, length);
            const std::u16string text = DecodeAlone(converter, sequence);
            const bool oneCharacter =
                text.size() == 1 || (text.size() == 2 && IsHighSurrogate(text[0]));
            if (oneCharacter && EncodeAlone(converter, text) == sequence) {
                out += text;
                break;
            }
        }
        if (length > longest || position + length > bytes.size()) {
            out += EscapeOf(static_cast<unsigned char>(bytes[position]));
            length = 1;
        }
        position += length;
    }
}

/// A multi-byte code page; ASCII at the start of a text skips ICU, since in these code pages an
/// ASCII byte is always a whole character. With roundTripOnly, a decoded text is encoded again
/// and decoded anew, character by character, when it does not give its bytes back.
class MultiByteConverter final : public CodePage::Converter
{
public:
    MultiByteConverter(std::string codesetName, std::string icuName, const AsciiUnits& asciiUnits,
                       bool roundTripOnly)
        : Converter(std::move(codesetName)), icuName_(std::move(icuName)), icuUnitOf_(asciiUnits),
          roundTripOnly_(roundTripOnly)
    {
        for (std::size_t byte = 0; byte < asciiUnits.size(); ++byte) {
            asciiOfIcuUnit_[asciiUnits[byte]] = static_cast<char16_t>(byte);
            swapsAscii_ = swapsAscii_ || asciiUnits[byte] != byte;
        }
    }

    void Decode(std::string_view bytes, std::u16string& out) const override
    {
        const std::size_t ascii = AsciiPrefixLength(bytes);
        AppendAscii(bytes.substr(0, ascii), out);
        if (ascii == bytes.size())
            return;
        const std::size_t icuStart = out.size();
        UConverter* const converter = ThreadConverter(icuName_);
        const std::string_view rest = bytes.substr(ascii);
        DecodeMultiByte(converter, rest, out);
        if (roundTripOnly_) {
            thread_local std::string back;
            back.clear();
            const std::u16string_view decoded = std::u16string_view(out).substr(icuStart);
            if (!EncodeMultiByte(converter, decoded, back) || back != rest) {
                out.resize(icuStart);
                DecodeRoundTrips(converter, rest, out);
            }
        }
        if (!swapsAscii_)
            return;
        for (std::size_t i = icuStart; i < out.size(); ++i)
            out[i] = out[i] < 0x80 ? asciiOfIcuUnit_[out[i]] : out[i];
    }

    bool Encode(std::u16string_view text, std::string& out) const override
    {
        const std::size_t ascii = AsciiPrefixLength(text);
        AppendAscii(text.substr(0, ascii), out);
        if (ascii == text.size())
            return true;
        UConverter* const converter = ThreadConverter(icuName_);
        if (!swapsAscii_)
            return EncodeMultiByte(converter, text.substr(ascii), out);
        thread_local std::u16string icuText;
        icuText.assign(text.substr(ascii));
        for (char16_t& unit : icuText)
            unit = unit < 0x80 ? icuUnitOf_[unit] : unit;
        return EncodeMultiByte(converter, icuText, out);
    }

    bool CanEncode(std::u16string_view text) const override
    {
        thread_local std::string scratch;
        scratch.clear();
        return Encode(text, scratch);
    }

private:
    std::string icuName_;
    AsciiUnits icuUnitOf_;
    AsciiUnits asciiOfIcuUnit_{};
    bool swapsAscii_ = false;
    bool roundTripOnly_;
};

} // namespace

std::shared_ptr<const CodePage::Converter>
MakeIcuConverter(std::string name, const std::string& icuName, bool roundTripOnly)
{
    const ConverterHandle converter = OpenConverter(icuName);
    if (!converter)
        return nullptr;
    UErrorCode error = U_ZERO_ERROR;
    const UConverterType type = ucnv_getType(converter.get());
    if (type == UCNV_UTF8 || type == UCNV_US_ASCII)
        return MakeUtf8Converter(std::move(name));
    if (type != UCNV_SBCS && type != UCNV_LATIN_1 && type != UCNV_MBCS)
        return nullptr;
    const std::optional<AsciiUnits> asciiUnits = ReadAsciiUnits(converter.get());
    if (!asciiUnits)
        return nullptr;
    if (ucnv_getMaxCharSize(converter.get()) == 1)
        return std::make_shared<const TableConverter>(std::move(name), converter.get());
    return std::make_shared<const MultiByteConverter>(
        std::move(name), ucnv_getName(converter.get(), &error), *asciiUnits, roundTripOnly);
}

} // namespace trelvane::codepage
