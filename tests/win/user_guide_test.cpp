// Help under Wine: the guide stored in the program is written to the
// temporary folder and handed to the shell, whose "open" for .html is pointed
// here at a command that copies the file (no browser needed); a temporary
// folder that cannot be written brings a message box.
#include <gtest/gtest.h>

#include <string>

#include "tray/user_guide.h"
#include "win_test_support.h"

namespace {

void setClassesValue(const char* key, const std::string& value)
{
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
}

std::string classesValue(const char* key)
{
    char value[256] = "";
    LONG size = sizeof value;
    return RegQueryValueA(HKEY_CLASSES_ROOT, key, value, &size) == ERROR_SUCCESS ? value : "";
}

struct UserGuideTest : ::testing::Test, TrayTestBase {
    std::string oldHtmlClass;

    void SetUp() override
    {
        setUpTray();
        oldHtmlClass = classesValue(".html");
        setClassesValue(".html", "LintoraTestPage");
        setClassesValue("LintoraTestPage\\shell\\open\\command",
                        "cmd.exe /c copy /y \"%1\" \"" + folder + "\\opened.html\"");
    }
    void TearDown() override
    {
        setClassesValue(".html", oldHtmlClass);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "LintoraTestPage");
        tearDownTray();
    }
};

bool waitForFile(const std::string& path)
{
    for (int tenth = 0; tenth < 150; ++tenth, Sleep(100))
        if (fileExists(path) && !readWholeFile(path).empty())
            return true;
    return false;
}

TEST_F(UserGuideTest, HelpWritesTheGuideAndTheShellOpensIt)
{
    openUserGuide();
    const std::string opened = folder + "\\opened.html";
    ASSERT_TRUE(waitForFile(opened)) << "the shell ran the page's open command";
    Sleep(200);  // the copy's last bytes
    const std::string page = readWholeFile(opened);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    EXPECT_EQ(page, readWholeFile(std::string(temp) + "Lintora user guide.html")) << "the file written was opened";
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("</html>"), std::string::npos);
    for (const char* heading : {"<h1>Lintora user guide</h1>", "<h2>The menu</h2>", "<h2>How it decides</h2>",
                                "<h2>Settings</h2>"})
        EXPECT_NE(page.find(heading), std::string::npos) << heading;
    EXPECT_NE(page.find("Version "), std::string::npos);
    for (const char* outside : {"<script", "src=", "http:", "https:", "@import"})
        EXPECT_EQ(page.find(outside), std::string::npos) << "nothing fetched: " << outside;
}

BOOL CALLBACK readStatic(HWND child, LPARAM context)
{
    char cls[16], text[256];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
        *reinterpret_cast<std::string*>(context) = text;
    return TRUE;
}

DWORD WINAPI readAndCloseBox(LPVOID context)
{
    for (int tenth = 0; tenth < 100; ++tenth, Sleep(100))
        if (const HWND box = FindWindowA("#32770", "Lintora?")) {
            EnumChildWindows(box, readStatic, reinterpret_cast<LPARAM>(context));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
    return 0;
}

TEST_F(UserGuideTest, AGuideThatCannotBeWrittenIsSaidSo)
{
    const std::string missing = folder + "\\no such folder\\";
    char oldTemp[MAX_PATH] = "", oldTmp[MAX_PATH] = "";
    GetEnvironmentVariableA("TEMP", oldTemp, sizeof oldTemp);
    GetEnvironmentVariableA("TMP", oldTmp, sizeof oldTmp);
    SetEnvironmentVariableA("TMP", missing.c_str());
    SetEnvironmentVariableA("TEMP", missing.c_str());
    std::string text;
    const HANDLE reader = CreateThread(nullptr, 0, readAndCloseBox, &text, 0, nullptr);
    openUserGuide();
    WaitForSingleObject(reader, 15000);
    CloseHandle(reader);
    SetEnvironmentVariableA("TMP", oldTmp);
    SetEnvironmentVariableA("TEMP", oldTemp);
    EXPECT_EQ(text, "The user guide could not be written to the temporary folder.");
    EXPECT_FALSE(fileExists(folder + "\\opened.html")) << "nothing opened";
}

} // namespace
