// The call trace: one JSON object a line, written as each call returns, in
// the forms the host documents, and silent for the framework's own machinery.

#include "Win32TestSupport.h"

#include <gtest/gtest.h>

namespace pervo::test {
namespace {

using Json = nlohmann::ordered_json;

// The dialog procedure of the quiet-call tests: each command it receives is
// the program's own work, which asks for a system metric.
INT_PTR CALLBACK MetricAskingDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    if (message == WM_COMMAND) {
        GetSystemMetrics(SM_CXICON);
        return TRUE;
    }
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

const DialogItemTemplate kListItem = {DialogControlClass::ComboBox, CBS_DROPDOWNLIST | WS_TABSTOP, 0, 10, 10, 48, 57, 1001, "", 0};
const DialogTemplate kTraceDialog = {100, false, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 120, 60, "Trace",
                                     8, "MS Sans Serif", &kListItem, 1};

class Win32Trace : public Win32Test {
protected:
    // The lines written so far, each compared as JSON with the expected text.
    void ExpectLines(const std::vector<std::string>& expected)
    {
        const std::vector<Json> lines = m_trace.Lines();
        ASSERT_EQ(lines.size(), expected.size()) << m_trace.Text();
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i], Json::parse(expected[i])) << "line " << i + 1;
    }

    TraceCapture m_trace{Machine()};
};

TEST_F(Win32Trace, TheDriverCallsAppearInTheDocumentedForm)
{
    const HANDLE driver = OpenDriver();
    DWORD port = 2;
    DWORD returned = 0;
    DeviceIoControl(driver, 0x1000, &port, sizeof port, nullptr, 0, &returned, nullptr);
    CloseHandle(driver);
    CreateFileA("COM9:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, {});

    const std::vector<Json> lines = m_trace.Lines();
    ASSERT_EQ(lines.size(), 4u) << m_trace.Text();
    EXPECT_EQ(lines[0], Json::parse(R"({"fn": "CreateFileA", "args": ["\\\\.\\QUORVEX.VXD", 0, 0, null, 1, 67108864, null], "ret": 16})"));
    EXPECT_EQ(lines[1]["fn"], "DeviceIoControl");
    EXPECT_EQ(lines[1]["args"], Json::parse(R"([16, 4096, "02000000", 4, null, 0, true, null])"))
        << "the input buffer as hex, the output pointer null, the count pointer true";
    EXPECT_EQ(lines[1]["ret"], 1);
    EXPECT_EQ(lines[2], Json::parse(R"({"fn": "CloseHandle", "args": [16], "ret": 1})"));
    EXPECT_EQ(lines[3], Json::parse(R"({"fn": "CreateFileA", "args": ["COM9:", 3221225472, 0, null, 3, 0, null], "ret": 4294967295})"))
        << "a failed open returns the invalid handle value";
}

TEST_F(Win32Trace, TheRegistryCallsAppearInTheDocumentedForm)
{
    HKEY software{};
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS, &software);
    HKEY key{};
    DWORD disposition = 0;
    RegCreateKeyExA(software, "Varholm\\KX-9 Pervola", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                    &disposition);
    const DWORD two = 2;
    RegSetValueExA(key, "CommPort", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), sizeof two);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    RegQueryValueExA(key, "CommPort", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    BYTE small[2] = {};
    size = sizeof small;
    RegQueryValueExA(key, "CommPort", nullptr, nullptr, small, &size);
    RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    RegCloseKey(software);

    ExpectLines({
        R"({"fn": "RegOpenKeyExA", "args": [2147483650, "SOFTWARE", 0, 983103, true], "ret": 0, "out": {"phkResult": 16}})",
        R"({"fn": "RegCreateKeyExA", "args": [16, "Varholm\\KX-9 Pervola", 0, null, 0, 983103, null, true, true], "ret": 0,
            "out": {"phkResult": 20, "lpdwDisposition": 1}})",
        R"({"fn": "RegSetValueExA", "args": [20, "CommPort", 0, 4, "02000000", 4], "ret": 0})",
        R"({"fn": "RegQueryValueExA", "args": [20, "CommPort", null, true, true, 4], "ret": 0,
            "out": {"lpType": 4, "lpData": "02000000", "lpcbData": 4}})",
        R"({"fn": "RegQueryValueExA", "args": [20, "CommPort", null, null, true, 2], "ret": 234, "out": {"lpcbData": 4}})",
        R"({"fn": "RegQueryValueExA", "args": [20, "Missing", null, true, true, 4], "ret": 2})",
        R"({"fn": "RegCloseKey", "args": [20], "ret": 0})",
        R"({"fn": "RegCloseKey", "args": [16], "ret": 0})",
    });
}

TEST_F(Win32Trace, TheTrayRecordIsAnObjectOfItsFieldsInOrder)
{
    DialogLog log;
    const machine::Hwnd window = Machine().Windows().CreateDialog(DialogWith({}), 0, log.Proc(), 0);
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = HWND{window};
    data.uID = 132;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_USER + 101;
    data.hIcon = HICON{32u};
    std::strcpy(data.szTip, "KX-9 Pervola");
    Shell_NotifyIconA(NIM_ADD, &data);

    ExpectLines({R"({"fn": "Shell_NotifyIconA", "args": [0, {"cbSize": 88, "hWnd": )" + std::to_string(window) +
                 R"(, "uID": 132, "uFlags": 7, "uCallbackMessage": 1125, "hIcon": 32, "szTip": "KX-9 Pervola"}], "ret": 1})"});
}

TEST_F(Win32Trace, MessagesThatCarryTextShowTheTextAndWParamIsTheUtilitys32BitValue)
{
    const HWND dialog = CreateDialogIndirectParamA(kImageBase, &kTraceDialog, {}, MetricAskingDialogProc, 0);
    const HWND list = HWND{Machine().Windows().GetDlgItem(dialog.value, 1001)};
    const std::string listNumber = std::to_string(list.value);
    SendMessageA(list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("COM1:"));
    SendMessageA(list, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("COM2:"));
    SendMessageA(list, CB_SELECTSTRING, 0, reinterpret_cast<LPARAM>("com1"));
    char text[16] = {};
    GetWindowTextA(list, text, sizeof text);
    PostMessageA(dialog, WM_USER, 7, 8);

    ExpectLines({
        R"({"fn": "SendMessageA", "args": [)" + listNumber + R"(, 330, 0, "COM1:"], "ret": 0})",
        R"({"fn": "SendMessageA", "args": [)" + listNumber + R"(, 330, 4294967295, "COM2:"], "ret": 1})",
        R"({"fn": "SendMessageA", "args": [)" + listNumber + R"(, 333, 0, "com1"], "ret": 0})",
        R"({"fn": "GetWindowTextA", "args": [)" + listNumber + R"(, true, 16], "ret": 5, "out": {"lpString": "COM1:"}})",
        R"({"fn": "PostMessageA", "args": [)" + std::to_string(dialog.value) + R"(, 1024, 7, 8], "ret": 1})",
    });
}

TEST_F(Win32Trace, EachLineIsOnDiskAsSoonAsItsCallReturns)
{
    EXPECT_EQ(m_trace.Text(), "");
    GetSystemMetrics(SM_CXSCREEN);
    const std::string first = m_trace.Text();
    EXPECT_EQ(first, R"({"fn":"GetSystemMetrics","args":[0],"ret":640})"
                     "\n")
        << "one compact object and a newline";
    GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(m_trace.Lines().size(), 2u);
}

TEST_F(Win32Trace, CallsMadeForTheFrameworksOwnMachineryAreLeftOutButAWindowProcedureIsTraced)
{
    const HWND dialog = CreateDialogIndirectParamA(kImageBase, &kTraceDialog, {}, MetricAskingDialogProc, 0);
    ASSERT_TRUE(dialog);
    {
        Win32QuietCalls quiet;
        GetSystemMetrics(SM_CYSCREEN);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        {
            Win32QuietCalls nested;
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        GetSystemMetrics(SM_CYSCREEN);
    }
    ExpectLines({
        R"({"fn": "GetSystemMetrics", "args": [11], "ret": 32})",
        R"({"fn": "GetSystemMetrics", "args": [11], "ret": 32})",
    });
    GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(m_trace.Functions().size(), 3u) << "tracing is back once the quiet calls are over";
}

TEST_F(Win32Trace, ACallMadeInsideAnotherIsWrittenFirstBecauseItReturnsFirst)
{
    const HWND dialog = CreateDialogIndirectParamA(kImageBase, &kTraceDialog, {}, MetricAskingDialogProc, 0);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    ExpectLines({
        R"({"fn": "GetSystemMetrics", "args": [11], "ret": 32})",
        R"({"fn": "SendMessageA", "args": [)" + std::to_string(dialog.value) + R"(, 273, 1, 0], "ret": 0})",
    });
}

}  // namespace
}  // namespace pervo::test
