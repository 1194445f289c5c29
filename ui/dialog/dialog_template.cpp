// The main dialog's template.
#include "ui/dialog/dialog_template.h"

#include "ui/dialog/control_ids.h"

namespace trelvane {
namespace {

using enum ControlKind;

constexpr ControlTemplate controls[] = {
    {IDOK, "IDOK", DefaultButton, "整理并输出", 141, 255, 59, 14, 0x50010001},
    {IDC_ADD_FILES, "IDC_ADD_FILES", PushButton, "添加待处理文件(txt)", 7, 255, 70, 14, 0x50010000},
    {IDC_FILE_LIST, "IDC_FILE_LIST", ListView, "", 7, 7, 127, 242, 0x50810801},
    {IDC_REMOVE_SELECTED, "IDC_REMOVE_SELECTED", PushButton, "删除选中", 82, 255, 50, 14,
     0x50010000},
    {IDC_STATIC, "groupSortingRules", GroupBox, "整理规则", 139, 7, 301, 188, 0x50000007},
    {IDC_SORT_ASC, "IDC_SORT_ASC", RadioButton, "按首字母升序排列", 153, 20, 71, 10, 0x50020009},
    {IDC_SORT_DESC, "IDC_SORT_DESC", RadioButton, "按首字母降序排列", 234, 20, 71, 10, 0x50000009},
    {IDC_STATIC, "labelTestInterval", Label, "间隔行数：", 153, 142, 35, 8, 0x50020000},
    {IDC_TEST_INTERVAL, "IDC_TEST_INTERVAL", NumberEdit, "", 188, 140, 40, 14, 0x50812080},
    {IDC_STATIC, "labelTestAddress", Label, "测试邮址：", 237, 142, 35, 8, 0x50020000},
    {IDC_TEST_ADDRESS, "IDC_TEST_ADDRESS", Edit, "", 270, 140, 148, 14, 0x50810080},
    {IDC_USE_TEST, "IDC_USE_TEST", CheckBox, "使用测试邮件（使用测试邮件可以对群发进行抽样检测）",
     153, 127, 187, 10, 0x50010003},
    {IDC_USE_EXCLUSION, "IDC_USE_EXCLUSION", CheckBox, "使用排除文件（可以批量过滤指定的邮箱）",
     153, 162, 146, 10, 0x50010003},
    {IDC_STATIC, "labelExclusionPath", Label, "导入排除文件：", 153, 177, 49, 8, 0x50020000},
    {IDC_EXCLUSION_PATH, "IDC_EXCLUSION_PATH", Edit, "", 200, 175, 218, 14, 0x50810080},
    {IDC_BROWSE_EXCLUSION, "IDC_BROWSE_EXCLUSION", PushButton, "...", 421, 175, 16, 14, 0x50010000},
    {IDC_STATIC, "labelDeleteSuffixes", Label, "输入要删除的后缀：", 153, 71, 63, 8, 0x50020000},
    {IDC_DELETE_SUFFIXES, "IDC_DELETE_SUFFIXES", Edit, "", 215, 69, 203, 14, 0x50810080},
    {IDC_STATIC, "labelKeepSuffixes", Label, "输入要保留的后缀：", 153, 108, 63, 8, 0x50020000},
    {IDC_KEEP_SUFFIXES, "IDC_KEEP_SUFFIXES", Edit, "", 214, 106, 204, 14, 0x50810080},
    {IDC_STATIC, "groupOutputRules", GroupBox, "输出规则", 139, 200, 301, 50, 0x50000007},
    {IDC_MERGE_OUTPUT, "IDC_MERGE_OUTPUT", RadioButton, "合并为一个文件后输出", 153, 213, 85, 10,
     0x50000009},
    {IDC_SPLIT_OUTPUT, "IDC_SPLIT_OUTPUT", RadioButton, "分卷输出", 272, 213, 43, 10, 0x50000009},
    {IDC_STATIC, "labelMaxLines", Label, "每卷最大行数：", 322, 214, 49, 8, 0x50020000},
    {IDC_MAX_LINES, "IDC_MAX_LINES", NumberEdit, "", 371, 212, 40, 14, 0x50812080},
    {IDC_PROGRESS, "IDC_PROGRESS", ProgressBar, "", 250, 255, 190, 14, 0x50800000},
    {IDC_STATIC, "labelProgress", Label, "处理进度：", 212, 258, 35, 8, 0x50020000},
    {IDC_SUFFIX_NONE, "IDC_SUFFIX_NONE", RadioButton, "不处理后缀", 153, 38, 50, 10, 0x50000009},
    {IDC_SUFFIX_DELETE, "IDC_SUFFIX_DELETE", RadioButton,
     "删除指定后缀（不带@，多个请用|分隔。例如：qq.com|163.com）", 153, 56, 230, 10, 0x50000009},
    {IDC_SUFFIX_KEEP, "IDC_SUFFIX_KEEP", RadioButton,
     "只保留指定后缀（不带@，多个请用|分隔。例如：qq.com|163.com）", 153, 91, 257, 10, 0x50000009},
    {IDC_STATIC, "labelOutputPath", Label, "输出文件：", 153, 232, 35, 8, 0x50020000},
    {IDC_OUTPUT_PATH, "IDC_OUTPUT_PATH", Edit, "", 188, 230, 230, 14, 0x50810080},
    {IDC_BROWSE_OUTPUT, "IDC_BROWSE_OUTPUT", PushButton, "...", 420, 230, 16, 14, 0x50010000},
    {IDC_STATIC, "labelDedup", Label, "软件内部自动去重复！", 348, 21, 70, 8, 0x50020000},
    {IDC_DEDUP, "IDC_DEDUP", CheckBox, "", 337, 21, 8, 10, 0x58010003},
};

} // namespace

std::span<const ControlTemplate> MainDialogTemplate()
{
    return controls;
}

} // namespace trelvane
