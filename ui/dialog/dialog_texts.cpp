// The texts the main dialog shows.
#include "ui/dialog/dialog_texts.h"

#include "engine/settings_text.h"

namespace trelvane {

std::u16string ProcessingText(std::u16string_view path, int totalLines)
{
    return u"正在处理文件 " + std::u16string(path) + u"  行数 " + DecimalText(totalLines);
}

std::u16string CompletionStatusText(int filteredCount, int writtenCount)
{
    return u"输出完成！过滤数量：" + DecimalText(filteredCount) + u"条 处理后数量：" +
           DecimalText(writtenCount) + u"条";
}

std::u16string CompletionBoxText(int filteredCount, int writtenCount)
{
    return u"输出完成！\n过滤数量：" + DecimalText(filteredCount) + u"条\n处理后数量：" +
           DecimalText(writtenCount) + u"条";
}

} // namespace trelvane
