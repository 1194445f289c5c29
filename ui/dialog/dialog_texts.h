// The texts the main dialog shows in its status bar, file list and completion box.
#pragma once

#include <string>
#include <string_view>

namespace trelvane {

/// Part 0 of the status bar, for the dialog's whole life.
inline constexpr std::u16string_view statusLabelText = u"状态：";
/// Part 1 of the status bar when the dialog opens.
inline constexpr std::u16string_view initialStatusText = u"初始化完成";
/// Part 1 once every input file has been processed.
inline constexpr std::u16string_view processingFinishedText = u"文件处理完成，正在输出结果...";
/// The heading of the file list's only column.
inline constexpr std::u16string_view fileColumnHeading = u"待处理文件";

/// Part 1 while an input file is processed: its path and line count.
std::u16string ProcessingText(std::u16string_view path, int totalLines);
/// Part 1 at the end of a job.
std::u16string CompletionStatusText(int filteredCount, int writtenCount);
/// The box at the end of a job: the same counts on three lines.
std::u16string CompletionBoxText(int filteredCount, int writtenCount);

} // namespace trelvane
