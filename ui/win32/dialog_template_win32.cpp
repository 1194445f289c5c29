// The main dialog's template in memory.
#include "ui/win32/dialog_template_win32.h"

#include "engine/code_page.h"
#include "ui/dialog/dialog_template.h"

#include <string_view>

namespace trelvane {
namespace {

// The predefined control classes that a template names by atom.
constexpr WORD buttonAtom = 0x0080;
constexpr WORD editAtom = 0x0081;
constexpr WORD staticAtom = 0x0082;

class TemplateWriter
{
public:
    void Word(WORD value) { m_words.push_back(value); }
    void DoubleWord(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(std::u16string_view text)
    {
        for (char16_t unit : text)
            Word(unit);
        Word(0);
    }
    void Utf8Text(const char* text) { Text(CodePage::Utf8().Decode(text)); }
    void Atom(WORD atom)
    {
        Word(0xFFFF);
        Word(atom);
    }
    void AlignToDoubleWord()
    {
        if (m_words.size() % 2 != 0)
            Word(0);
    }
    std::vector<WORD> Take() { return std::move(m_words); }

private:
    std::vector<WORD> m_words;
};

void WriteClass(TemplateWriter& writer, ControlKind kind)
{
    switch (kind) {
    case ControlKind::DefaultButton:
    case ControlKind::PushButton:
    case ControlKind::GroupBox:
    case ControlKind::RadioButton:
    case ControlKind::CheckBox:
        writer.Atom(buttonAtom);
        return;
    case ControlKind::Edit:
    case ControlKind::NumberEdit:
        writer.Atom(editAtom);
        return;
    case ControlKind::Label:
        writer.Atom(staticAtom);
        return;
    case ControlKind::ListView:
        writer.Text(u"SysListView32");
        return;
    case ControlKind::ProgressBar:
        writer.Text(u"msctls_progress32");
        return;
    }
}

void WriteControl(TemplateWriter& writer, const ControlTemplate& control)
{
    writer.AlignToDoubleWord();
    writer.DoubleWord(0); // help id
    writer.DoubleWord(0); // extended style
    writer.DoubleWord(control.style);
    for (int value : {control.x, control.y, control.width, control.height})
        writer.Word(static_cast<WORD>(value));
    writer.DoubleWord(static_cast<DWORD>(control.id));
    WriteClass(writer, control.kind);
    writer.Utf8Text(control.text);
    writer.Word(0); // no creation data
}

} // namespace

std::vector<WORD> MainDialogTemplateWin32()
{
    TemplateWriter writer;
    writer.Word(1);      // DLGTEMPLATEEX version
    writer.Word(0xFFFF); // its signature
    writer.DoubleWord(0);
    writer.DoubleWord(mainDialogExStyle);
    writer.DoubleWord(mainDialogStyle);
    writer.Word(static_cast<WORD>(MainDialogTemplate().size()));
    for (int value : {0, 0, mainDialogWidth, mainDialogHeight})
        writer.Word(static_cast<WORD>(value));
    writer.Word(0); // no menu
    writer.Word(0); // the standard dialog class
    writer.Utf8Text(mainDialogCaption);
    writer.Word(static_cast<WORD>(mainDialogFontPoints));
    writer.Word(0);                                // the normal weight
    writer.Word(MAKEWORD(FALSE, DEFAULT_CHARSET)); // not italic, default character set
    writer.Text(mainDialogFont);
    for (const ControlTemplate& control : MainDialogTemplate())
        WriteControl(writer, control);
    return writer.Take();
}

} // namespace trelvane
