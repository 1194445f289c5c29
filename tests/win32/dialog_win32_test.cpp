// The Win32 dialog run modally on its own thread and driven from the test's thread as a user
// would: by control id, clicks, texts, and answers to its message boxes.
#include "engine/address_job.h"
#include "ui/dialog/control_ids.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/message_box.h"
#include "ui/win32/wide_text.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace trelvane;
namespace fs = std::filesystem;

namespace {

const std::u16string caption = u"Trelvane(V2.2)  2015.3.2更新";

// Answers the add button with a fixed list of files.
class ScriptedFileDialogs final : public IFileDialogs
{
public:
    explicit ScriptedFileDialogs(std::vector<std::u16string> files) : m_files(std::move(files)) {}
    std::vector<std::u16string> OpenFiles(HWND) override { return m_files; }
    std::u16string OpenFile(HWND) override { return {}; }
    std::u16string SaveFile(HWND) override { return {}; }

private:
    std::vector<std::u16string> m_files;
};

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Sleep(20);
    }
    return true;
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string AddressLines(const std::string& prefix, int count)
{
    std::string bytes;
    for (int n = 1; n <= count; ++n)
        bytes += prefix + std::to_string(n) + "@example.com\r\n";
    return bytes;
}

// The dialog, run modally on a thread of its own as the program runs it on its main thread.
class DialogWin32Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("trelvane-dialog-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        InstallNoticeHandler();
    }

    void TearDown() override
    {
        if (m_thread.joinable()) {
            if (IsWindow(m_window))
                PostMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
            m_thread.join();
        }
        AddressJob.inputPaths.clear();
        fs::remove_all(m_dir);
    }

    void Open(std::vector<std::u16string> files = {})
    {
        m_thread = std::thread([this, files] {
            m_threadId = GetCurrentThreadId();
            CQuillanDlg dialog(std::make_unique<ScriptedFileDialogs>(files));
            dialog.DoModal();
        });
        ASSERT_TRUE(WaitFor([this] {
            m_window = FindWindowW(L"#32770", Wide(caption));
            return m_window != nullptr && Status(1) == u"初始化完成";
        }));
    }

    HWND Item(int id) const { return GetDlgItem(m_window, id); }
    bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }
    void SetText(int id, const std::u16string& text) const
    {
        SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text)));
    }
    std::u16string Status(int part) const
    {
        HWND bar = FindWindowExW(m_window, nullptr, STATUSCLASSNAMEW, nullptr);
        std::u16string text(512, u'\0');
        const auto length = LOWORD(SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(part),
                                                reinterpret_cast<LPARAM>(text.data())));
        text.resize(length);
        return text;
    }
    HWND Focus() const
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(m_threadId, &info);
        return info.hwndFocus;
    }
    // The message box open on screen, found by the program's name as its caption.
    HWND Box() const { return FindWindowW(L"#32770", Wide(ApplicationName())); }
    std::u16string BoxText(HWND box) const { return WindowText(GetDlgItem(box, 0xFFFF)); }
    void Answer(HWND box) const { PostMessageW(box, WM_COMMAND, IDOK, 0); }
    HWND WaitForBox() const
    {
        HWND box = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (box = Box()) != nullptr; }));
        return box;
    }

    fs::path m_dir;
    std::thread m_thread;
    DWORD m_threadId = 0;
    HWND m_window = nullptr;
};

TEST_F(DialogWin32Test, StartStateAndTheThreeRadioGroups)
{
    Open();
    EXPECT_EQ(Status(0), u"状态：");
    for (int id : {IDC_SORT_ASC, IDC_SUFFIX_NONE, IDC_MERGE_OUTPUT, IDC_DEDUP})
        EXPECT_TRUE(Checked(id)) << id;
    for (int id : {IDC_SORT_DESC, IDC_SUFFIX_DELETE, IDC_SUFFIX_KEEP, IDC_SPLIT_OUTPUT,
                   IDC_USE_TEST, IDC_USE_EXCLUSION})
        EXPECT_FALSE(Checked(id)) << id;
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_DEDUP)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDOK)));
    EXPECT_EQ(Focus(), Item(IDOK));
    for (int id : {IDC_TEST_INTERVAL, IDC_MAX_LINES})
        EXPECT_NE(GetWindowLongW(Item(id), GWL_STYLE) & ES_NUMBER, 0) << id;
    const LONG style = GetWindowLongW(m_window, GWL_STYLE);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    EXPECT_NE(GetWindowLongW(m_window, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

    Click(IDC_SORT_DESC);
    Click(IDC_SUFFIX_KEEP);
    Click(IDC_SPLIT_OUTPUT);
    ASSERT_TRUE(WaitFor([&] { return Checked(IDC_SPLIT_OUTPUT); }));
    EXPECT_TRUE(Checked(IDC_SORT_DESC) && !Checked(IDC_SORT_ASC));
    EXPECT_TRUE(Checked(IDC_SUFFIX_KEEP) && !Checked(IDC_SUFFIX_NONE) &&
                !Checked(IDC_SUFFIX_DELETE));
    EXPECT_FALSE(Checked(IDC_MERGE_OUTPUT));
}

TEST_F(DialogWin32Test, ARefusalIsOwnedByTheDialogAndMovesTheFocus)
{
    Open({(m_dir / "a.txt").u16string()});
    Click(IDOK);
    HWND box = WaitForBox();
    EXPECT_EQ(BoxText(box), u"请先添加待处理文件！");
    EXPECT_EQ(GetWindow(box, GW_OWNER), m_window);
    Answer(box);
    EXPECT_TRUE(WaitFor([&] { return Focus() == Item(IDC_ADD_FILES); }));

    Click(IDC_ADD_FILES);
    SetText(IDC_OUTPUT_PATH, u" \t ");
    Click(IDOK);
    box = WaitForBox();
    EXPECT_EQ(BoxText(box), u"输出文件不能为空！");
    Answer(box);
    EXPECT_TRUE(WaitFor([&] { return Focus() == Item(IDC_OUTPUT_PATH); }));
    EXPECT_TRUE(IsWindowEnabled(Item(IDOK)));
}

// Under ANSI code page 936 the last input is 张三 in GBK; under any code page its bytes come back.
TEST_F(DialogWin32Test, AWholeJobOverSmallFilesEndsWithTheCompletionTexts)
{
    WriteBytes(m_dir / "a.txt", AddressLines("a", 3));
    WriteBytes(m_dir / "b.txt", AddressLines("b", 5));
    const std::string chinese = "\xD5\xC5\xC8\xFD@example.com";
    WriteBytes(m_dir / u"名单.txt", chinese + "\r\n");
    Open({(m_dir / "a.txt").u16string(), (m_dir / "b.txt").u16string(),
          (m_dir / u"名单.txt").u16string()});
    Click(IDC_ADD_FILES);
    ASSERT_TRUE(WaitFor([&] { return ListView_GetItemCount(Item(IDC_FILE_LIST)) == 3; }));
    const fs::path output = m_dir / u"结果.txt";
    SetText(IDC_OUTPUT_PATH, output.u16string());
    Click(IDOK);

    HWND box = WaitForBox();
    EXPECT_EQ(BoxText(box), u"输出完成！\n过滤数量：0条\n处理后数量：9条");
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_EQ(Status(1), u"输出完成！过滤数量：0条 处理后数量：9条");
    EXPECT_TRUE(IsWindowEnabled(Item(IDOK)));
    EXPECT_EQ(ReadBytes(output), AddressLines("a", 3) + AddressLines("b", 5) + chinese + "\r\n");
    Answer(box);
    EXPECT_TRUE(WaitFor([&] { return Box() == nullptr; }));
}

TEST_F(DialogWin32Test, ClosingDuringAJobStopsItAndLeavesNoOutput)
{
    WriteBytes(m_dir / "big.txt", AddressLines("x", 400000));
    Open({(m_dir / "big.txt").u16string()});
    Click(IDC_ADD_FILES);
    SetText(IDC_OUTPUT_PATH, (m_dir / "out.txt").u16string());
    Click(IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(Item(IDC_ADD_FILES)); }));
    PostMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
    m_thread.join();
    EXPECT_FALSE(IsWindow(m_window));
    std::vector<fs::path> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_dir))
        left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<fs::path>{"big.txt"});
}

} // namespace
