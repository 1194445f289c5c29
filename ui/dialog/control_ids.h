// The ids of the main dialog's controls, numbered as the dialog template numbers them.
#pragma once

namespace trelvane {

// The names keep the template's spelling; each control's objectName is its id's name.
// windows.h defines IDOK as the same value.
#ifndef IDOK
inline constexpr int IDOK = 1;
#endif
inline constexpr int IDC_ADD_FILES = 1000;
inline constexpr int IDC_FILE_LIST = 1001;
inline constexpr int IDC_REMOVE_SELECTED = 1002;
inline constexpr int IDC_DEDUP = 1003;
inline constexpr int IDC_SORT_ASC = 1004;
inline constexpr int IDC_SORT_DESC = 1005;
inline constexpr int IDC_TEST_INTERVAL = 1007;
inline constexpr int IDC_TEST_ADDRESS = 1008;
inline constexpr int IDC_USE_TEST = 1009;
inline constexpr int IDC_USE_EXCLUSION = 1010;
inline constexpr int IDC_EXCLUSION_PATH = 1011;
inline constexpr int IDC_BROWSE_EXCLUSION = 1012;
inline constexpr int IDC_DELETE_SUFFIXES = 1014;
inline constexpr int IDC_KEEP_SUFFIXES = 1016;
inline constexpr int IDC_MERGE_OUTPUT = 1018;
inline constexpr int IDC_SPLIT_OUTPUT = 1019;
inline constexpr int IDC_MAX_LINES = 1020;
inline constexpr int IDC_PROGRESS = 1021;
inline constexpr int IDC_SUFFIX_DELETE = 1023;
inline constexpr int IDC_SUFFIX_KEEP = 1024;
inline constexpr int IDC_OUTPUT_PATH = 1025;
inline constexpr int IDC_BROWSE_OUTPUT = 1026;
inline constexpr int IDC_SUFFIX_NONE = 1027;
/// Labels and group boxes, which nothing addresses by id.
inline constexpr int IDC_STATIC = -1;

} // namespace trelvane
