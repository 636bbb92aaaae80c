// Choosing the sounds through the real open-file dialog, driven from a second
// thread the way a user would: type a name, press Open or Cancel, answer the
// error box.
#include <gtest/gtest.h>

#include <cstring>

#include "core/text.h"
#include "sound/sound_choice.h"
#include "tray/tray_menu.h"
#include "win_test_support.h"

namespace {

std::string waveFile(bool withFormat = true, const char* form = "WAVE", uint32_t formatSize = 16)
{
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    std::string format = u16(1) + u16(1) + u32(8000) + u32(8000) + u16(1) + u16(8);  // PCM, mono, 8 kHz, 8 bits
    format.resize(formatSize, '\0');
    std::string data(800, '\x80');
    std::string body = std::string(form, 4);
    if (withFormat)
        body += "fmt " + u32(formatSize) + format;
    body += "data" + u32(static_cast<uint32_t>(data.size())) + data;
    return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}

std::wstring widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

void writeWide(const std::wstring& path, const std::string& bytes)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// What the driver thread does with the dialog, and what it saw.
struct Driver {
    std::wstring fileName;  // empty: press Cancel
    int waitTenths = 100;  // how long to wait for the dialog to come up
    bool dialogSeen = false;
    std::string errorText;  // the text of an "Error opening file" box, answered with OK
};

HWND waitForWindow(const char* caption, int tenthsOfSeconds)
{
    for (int i = 0; i < tenthsOfSeconds; ++i) {
        if (const HWND window = FindWindowA("#32770", caption))
            if (IsWindowVisible(window))
                return window;
        Sleep(100);
    }
    return nullptr;
}

BOOL CALLBACK readStatic(HWND child, LPARAM context)
{
    char cls[16], text[256];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0) {
        *reinterpret_cast<std::string*>(context) = text;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK dismissOtherDialog(HWND window, LPARAM dialog)
{
    char cls[16];
    GetClassNameA(window, cls, sizeof cls);
    if (window != reinterpret_cast<HWND>(dialog) && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window))
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// A dialog still open after the script (an unexpected box in the way) is
// cleared and cancelled, so that a failing test fails instead of hanging.
void closeLeftovers(HWND dialog)
{
    for (int i = 0; i < 50 && IsWindow(dialog); ++i)
        Sleep(100);
    for (int round = 0; round < 10 && IsWindow(dialog); ++round) {
        EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), dismissOtherDialog,
                          reinterpret_cast<LPARAM>(dialog));
        Sleep(300);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        Sleep(300);
    }
}

DWORD WINAPI driveDialog(LPVOID context)
{
    Driver& driver = *static_cast<Driver*>(context);
    const HWND dialog = waitForWindow("Choose the sound you want to play", driver.waitTenths);
    if (dialog == nullptr)
        return 0;
    driver.dialogSeen = true;
    if (driver.fileName.empty()) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    // The name box: a combo box (cmb13) in explorer-style dialogs, an edit (edt1) in others.
    SetDlgItemTextW(dialog, 1148, driver.fileName.c_str());
    SetDlgItemTextW(dialog, 1152, driver.fileName.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    if (const HWND box = waitForWindow("Error opening file", 30)) {
        EnumChildWindows(box, readStatic, reinterpret_cast<LPARAM>(&driver.errorText));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    closeLeftovers(dialog);
    return 0;
}

class SoundChoiceTest : public ::testing::Test, public TrayTestBase {
protected:
    void SetUp() override
    {
        setUpTray();
        buildTrayMenu();
        // A folder whose name the code page cannot spell.
        soundFolder = widen(folder) + L"\\\u041f\u0451\u0442\u0440 \u6771\u4eac";
        CreateDirectoryW(soundFolder.c_str(), nullptr);
        goodWave = soundFolder + L"\\chime.wav";
        writeWide(goodWave, waveFile());
        textWave = soundFolder + L"\\notes.wav";
        writeWide(textWave, "this is text, not sound\r\n");
    }
    void TearDown() override { tearDownTray(); }

    // Chooses item 104 with the driver handling whatever dialog appears.
    Driver toggleUpSound(const std::wstring& typed)
    {
        Driver driver;
        driver.fileName = typed;
        const HANDLE thread = CreateThread(nullptr, 0, driveDialog, &driver, 0, nullptr);
        toggleSoundItem(IDM_SOUND_UP, g_app.upSoundPath);
        WaitForSingleObject(thread, 20000);
        CloseHandle(thread);
        return driver;
    }
    bool upChecked() { return menuItemState(IDM_SOUND_UP) & MFS_CHECKED; }

    std::wstring soundFolder;
    std::wstring goodWave;
    std::wstring textWave;
};

TEST_F(SoundChoiceTest, AWaveFileChosenInTheDialogIsKept)
{
    const Driver driver = toggleUpSound(goodWave);
    EXPECT_TRUE(driver.dialogSeen);
    EXPECT_EQ(driver.errorText, "");
    EXPECT_TRUE(upChecked());
    EXPECT_EQ(lstrcmpiW(g_app.upSoundPath, goodWave.c_str()), 0);
    EXPECT_FALSE(fileExists(configPath)) << "sounds are never stored";
}

TEST_F(SoundChoiceTest, AFileThatIsNotAWaveIsRefusedWithTheErrorBox)
{
    const Driver driver = toggleUpSound(textWave);
    EXPECT_TRUE(driver.dialogSeen);
    EXPECT_EQ(driver.errorText, "File type not supported! Try another one.");
    EXPECT_FALSE(upChecked());
    EXPECT_EQ(g_app.upSoundPath[0], L'\0');
}

TEST_F(SoundChoiceTest, AHighlightedUncheckedItemOpensTheDialog)
{
    setMenuItemState(IDM_SOUND_UP, MFS_HILITE);  // as the menu leaves the item it closed on
    const Driver driver = toggleUpSound(goodWave);
    EXPECT_TRUE(driver.dialogSeen);
    EXPECT_TRUE(upChecked());
}

TEST_F(SoundChoiceTest, CancelChangesNothing)
{
    const Driver driver = toggleUpSound(L"");
    EXPECT_TRUE(driver.dialogSeen);
    EXPECT_FALSE(upChecked());
    EXPECT_EQ(g_app.upSoundPath[0], L'\0');
}

TEST_F(SoundChoiceTest, ACheckedItemIsTurnedOffWithoutADialog)
{
    copyText(g_app.upSoundPath, goodWave.c_str());
    setMenuItemState(IDM_SOUND_UP, MFS_CHECKED);
    Driver driver;  // cancels a dialog if one wrongly opened, and says so
    driver.waitTenths = 30;
    const HANDLE thread = CreateThread(nullptr, 0, driveDialog, &driver, 0, nullptr);
    toggleSoundItem(IDM_SOUND_UP, g_app.upSoundPath);
    WaitForSingleObject(thread, 20000);
    CloseHandle(thread);
    EXPECT_FALSE(driver.dialogSeen);
    EXPECT_FALSE(upChecked());
    EXPECT_EQ(g_app.upSoundPath[0], L'\0');
}

TEST_F(SoundChoiceTest, OnlyWavesThatCanPlayPassTheCheck)
{
    EXPECT_TRUE(isPlayableWaveFile(goodWave.c_str()));
    EXPECT_FALSE(isPlayableWaveFile(textWave.c_str()));
    EXPECT_FALSE(isPlayableWaveFile((soundFolder + L"\\missing.wav").c_str()));
    std::string zeroFormat = waveFile();
    zeroFormat.replace(20, 16, 16, '\0');  // the format chunk all zeros
    zeroFormat.resize(36);                  // and no data chunk
    const struct { const char* name; std::string bytes; } bad[] = {
        {"avi.wav", waveFile(true, "AVI ")},
        {"nofmt.wav", waveFile(false)},
        {"shortfmt.wav", waveFile(true, "WAVE", 8)},
        {"empty.wav", ""},
        {"cut.wav", waveFile().substr(0, 20)},
        {"zeros.wav", zeroFormat},
    };
    for (const auto& file : bad) {
        const std::wstring path = soundFolder + L"\\" + widen(file.name);
        writeWide(path, file.bytes);
        EXPECT_FALSE(isPlayableWaveFile(path.c_str())) << file.name;
    }
}

} // namespace
