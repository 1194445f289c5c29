// Code pages by name, and the code page of the system.
#include "engine/code_page.h"

#include "engine/code_page_converter.h"
#include "engine/os/system_locale.h"

#include <utility>

namespace trelvane {
namespace {

/// Whether the codeset is UTF-8 or plain ASCII, which the UTF-8 code page serves.
bool IsUtf8Name(const std::string& key)
{
    return key == "UTF8" || key == "CP65001" || key == "ANSIX3.41968" || key == "ASCII" ||
           key == "USASCII";
}

/// The system's codeset and the code page that serves it.
struct SystemEncoding
{
    std::string codeset;
    CodePage codePage;
};

const SystemEncoding& System()
{
    static const SystemEncoding system = [] {
        std::string codeset = os::ReadSystemCodeset();
        CodePage codePage = CodePage::FromName(codeset).value_or(CodePage::Utf8());
        return SystemEncoding{std::move(codeset), std::move(codePage)};
    }();
    return system;
}

} // namespace

std::string codepage::NormalisedName(std::string_view name)
{
    std::string key;
    for (const char c : name) {
        if (c == '-' || c == '_' || c == ' ')
            continue;
        key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return key;
}

CodePage::CodePage(std::shared_ptr<const Converter> converter) : converter_(std::move(converter)) {}

CodePage CodePage::Utf8()
{
    static const auto utf8 = codepage::MakeUtf8Converter("UTF-8");
    return CodePage(utf8);
}

std::optional<CodePage> CodePage::FromName(std::string_view codeset)
{
    const std::string key = codepage::NormalisedName(codeset);
    if (IsUtf8Name(key))
        return CodePage(codepage::MakeUtf8Converter(std::string(codeset)));
    auto converter = codepage::MakePlatformConverter(std::string(codeset), key);
    if (!converter)
        return std::nullopt;
    return CodePage(std::move(converter));
}

const std::string& CodePage::Name() const
{
    return converter_->name;
}

bool CodePage::IsUtf8() const
{
    return converter_->IsUtf8();
}

void CodePage::Decode(std::string_view bytes, std::u16string& out) const
{
    converter_->Decode(bytes, out);
}

std::u16string CodePage::Decode(std::string_view bytes) const
{
    std::u16string text;
    converter_->Decode(bytes, text);
    return text;
}

bool CodePage::Encode(std::u16string_view text, std::string& out) const
{
    return converter_->Encode(text, out);
}

bool CodePage::CanEncode(std::u16string_view text) const
{
    return converter_->CanEncode(text);
}

const CodePage& SystemCodePage()
{
    return System().codePage;
}

std::u16string UnsupportedCodesetNotice(std::string_view codeset)
{
    if (CodePage::FromName(codeset))
        return {};
    // Codeset names are ASCII.
    return u"不支持系统字符集“" + std::u16string(codeset.begin(), codeset.end()) +
           u"”，文件按 UTF-8 读写！";
}

const std::u16string& SystemCodePageNotice()
{
    static const std::u16string notice = UnsupportedCodesetNotice(System().codeset);
    return notice;
}

std::u16string FromSystemBytes(std::string_view bytes)
{
    return SystemCodePage().Decode(bytes);
}

std::string ToSystemBytes(std::u16string_view text)
{
    std::string bytes;
    SystemCodePage().Encode(text, bytes);
    return bytes;
}

} // namespace trelvane
