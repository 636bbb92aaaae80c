// "config.ini" read and written through the platform's profile functions,
// on real files in a scratch folder.
#include <gtest/gtest.h>

#include "settings/config_file.h"
#include "win_test_support.h"

namespace {

int g_statusWindowOpened;
void countStatusWindowOpen() { ++g_statusWindowOpened; }

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = makeScratchFolder();
        path = folder + "\\config.ini";
        resetAppState(path);
        g_statusWindowOpened = 0;
    }
    void TearDown() override { removeScratchFolder(folder); }

    void load() { loadSettings(countStatusWindowOpen); }
    std::string contents() { return readWholeFile(path); }

    std::string folder;
    std::string path;
};

TEST_F(ConfigFileTest, FirstStartCreatesFileWithTheIntervalOnly)
{
    load();
    EXPECT_EQ(contents(), "[config]\r\nping_time_interval=60\r\n");
    EXPECT_EQ(g_app.pingIntervalMs, 60000u);
    EXPECT_EQ(g_app.hideSeconds, 0);
    EXPECT_EQ(g_app.statusX, 0);
    EXPECT_EQ(g_app.statusY, 0);
    EXPECT_EQ(g_statusWindowOpened, 0);
}

TEST_F(ConfigFileTest, StoredValuesAreLoaded)
{
    writeWholeFile(path, "[config]\r\nping_time_interval=5\r\nmessagebox_h_position=-800\r\n"
                         "messagebox_v_position=318\r\nmessage_hide_time=25\r\n");
    load();
    EXPECT_EQ(g_app.pingIntervalMs, 5000u);
    EXPECT_EQ(g_app.statusX, -800);
    EXPECT_EQ(g_app.statusY, 318);
    EXPECT_EQ(g_app.hideSeconds, 25) << "kept as loaded; the menu settles it";
    EXPECT_EQ(contents().find("ping_time_interval=60"), std::string::npos) << "nothing written back";
}

TEST_F(ConfigFileTest, EmptyIntervalCountsAsAbsentAndIsWrittenBack)
{
    writeWholeFile(path, "[config]\r\nping_time_interval=\r\n");
    g_app.pingIntervalMs = 60000;
    load();
    EXPECT_EQ(g_app.pingIntervalMs, 60000u);
    EXPECT_EQ(contents(), "[config]\r\nping_time_interval=60\r\n");
}

TEST_F(ConfigFileTest, IntervalsThatCannotBeMeantAreClampedAndNotRewrittenAtStart)
{
    const struct { const char* stored; DWORD ms; } cases[] = {
        {"abc", 1000}, {"0", 1000}, {"-5", 1000}, {"99999999", 86400000}, {"86400", 86400000}, {"1", 1000}};
    for (const auto& c : cases) {
        const std::string file = std::string("[config]\r\nping_time_interval=") + c.stored + "\r\n";
        writeWholeFile(path, file);
        g_app.pingIntervalMs = 60000;
        load();
        EXPECT_EQ(g_app.pingIntervalMs, c.ms) << c.stored;
        EXPECT_EQ(contents(), file) << c.stored;
    }
}

TEST_F(ConfigFileTest, ClampedIntervalIsWhatLaterWritesStore)
{
    writeWholeFile(path, "[config]\r\nping_time_interval=abc\r\n");
    load();
    writeSetting("config", "message_hide_time", "30");
    EXPECT_EQ(contents(), "[config]\r\nping_time_interval=1\r\nmessage_hide_time=30\r\n");
}

TEST_F(ConfigFileTest, ValuesAreReadAsTheirFirstNineteenCharacters)
{
    // 19 characters make 42; all 40 would saturate.
    writeWholeFile(path, "[config]\r\nmessagebox_h_position=0000000000000000042777777777777777777777\r\n");
    load();
    EXPECT_EQ(g_app.statusX, 42);
}

TEST_F(ConfigFileTest, OnlyLowerCaseYesOpensTheStatusWindow)
{
    for (const char* value : {"Yes", "YES", "no", "y", "yess"}) {
        writeWholeFile(path, std::string("[config]\r\nuse_dialog_message=") + value + "\r\n");
        load();
    }
    EXPECT_EQ(g_statusWindowOpened, 0);
    writeWholeFile(path, "[config]\r\nuse_dialog_message=yes\r\n");
    load();
    EXPECT_EQ(g_statusWindowOpened, 1);
}

TEST_F(ConfigFileTest, WritesKeepEveryOtherLineAndRewriteTheInterval)
{
    writeWholeFile(path, "; kept comment\r\n[other]\r\nkey=1\r\n[config]\r\nping_time_interval=7\r\n"
                         "unknown=kept\r\nmessage_hide_time=10\r\n[tail]\r\nx=y\r\n");
    load();
    ASSERT_EQ(g_app.pingIntervalMs, 7000u);
    writeSetting("config", "message_hide_time", "30");
    writeSetting("config", "use_dialog_message", "yes");
    EXPECT_EQ(contents(), "; kept comment\r\n[other]\r\nkey=1\r\n[config]\r\nping_time_interval=7\r\n"
                          "unknown=kept\r\nmessage_hide_time=30\r\nuse_dialog_message=yes\r\n[tail]\r\nx=y\r\n");
}

TEST_F(ConfigFileTest, EveryWriteRestoresAHandEditedInterval)
{
    load();
    writeWholeFile(path, "[config]\r\nping_time_interval=999\r\n");  // edited while running
    writeSetting("config", "messagebox_h_position", "412");
    EXPECT_EQ(contents(), "[config]\r\nping_time_interval=60\r\nmessagebox_h_position=412\r\n");
    writeWholeFile(path, "[config]\r\n");  // key removed by hand
    writeSetting("config", "messagebox_v_position", "318");
    EXPECT_EQ(contents(), "[config]\r\nmessagebox_v_position=318\r\nping_time_interval=60\r\n");
}

TEST_F(ConfigFileTest, WriteCreatesAMissingFile)
{
    writeSetting("config", "use_dialog_message", "no");
    EXPECT_EQ(contents(), "[config]\r\nuse_dialog_message=no\r\nping_time_interval=60\r\n");
}

TEST_F(ConfigFileTest, FileThatIsAFolderIsNeitherReadNorWritten)
{
    CreateDirectoryA(path.c_str(), nullptr);
    load();
    writeSetting("config", "message_hide_time", "30");
    EXPECT_EQ(g_app.pingIntervalMs, 60000u);
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(fileExists(path + "\\config"));
}

TEST_F(ConfigFileTest, FileHeldWithoutReadSharingIsNeitherReadNorWritten)
{
    writeWholeFile(path, "[config]\r\nping_time_interval=5\r\nmessage_hide_time=30\r\n");
    const HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    load();
    writeSetting("config", "message_hide_time", "40");
    CloseHandle(held);
    EXPECT_EQ(g_app.pingIntervalMs, 60000u);
    EXPECT_EQ(g_app.hideSeconds, 0);
    EXPECT_EQ(contents(), "[config]\r\nping_time_interval=5\r\nmessage_hide_time=30\r\n");
}

TEST_F(ConfigFileTest, NoConfigPathMeansNoFileAtAll)
{
    g_app.configPath[0] = '\0';
    load();
    writeSetting("config", "message_hide_time", "30");
    writePingInterval("config");
    EXPECT_EQ(g_app.pingIntervalMs, 60000u);
    EXPECT_FALSE(fileExists("config.ini"));
}

TEST_F(ConfigFileTest, HostileFilesLoadToDefinedValues)
{
    std::string garbage;
    uint32_t seed = 7;
    for (int i = 0; i < 65536; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage += static_cast<char>(seed >> 16);
    }
    const std::string hugeLine = "[config]\r\nmessage_hide_time=" + std::string(1 << 20, '7') + "\r\n";
    const std::string files[] = {
        garbage,
        hugeLine,
        "ping_time_interval=5\r\nmessage_hide_time=30\r\n",                      // no section
        "[config]\r\nmessage_hide_time=10\r\nmessage_hide_time=20\r\n",          // duplicate keys
        std::string("[config]\r\nmessage_hide_time=3\0" "0\r\n", 31),             // NUL inside
        "[config]\r\n\r\n[config]\r\nmessagebox_h_position=5\r\n",               // section twice
    };
    for (const std::string& file : files) {
        writeWholeFile(path, file);
        setStartValues(g_app);
        resetAppState(path);
        load();
        EXPECT_GE(g_app.pingIntervalMs, 1000u);
        EXPECT_LE(g_app.pingIntervalMs, 86400000u);
    }
    // Of the specific ones: the first of duplicate keys wins, a huge value saturates.
    writeWholeFile(path, "[config]\r\nmessage_hide_time=10\r\nmessage_hide_time=20\r\n");
    resetAppState(path);
    load();
    EXPECT_EQ(g_app.hideSeconds, 10);
    writeWholeFile(path, hugeLine);
    resetAppState(path);
    load();
    EXPECT_EQ(g_app.hideSeconds, 2147483647);
    writeWholeFile(path, "ping_time_interval=5\r\n");
    resetAppState(path);
    load();
    EXPECT_EQ(g_app.pingIntervalMs, 60000u) << "a key outside the section is not read";
}

TEST(ModuleDirectory, IsTheFolderOfThisProgramWithItsSeparator)
{
    wchar_t directory[kTextBufferSize];
    ASSERT_TRUE(getModuleDirectory(directory));
    wchar_t full[kTextBufferSize];
    GetModuleFileNameW(nullptr, full, kTextBufferSize);
    const std::wstring dir = directory;
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), L'\\');
    EXPECT_EQ(std::wstring(full).rfind(dir, 0), 0u);
    EXPECT_EQ(std::wstring(full).find(L'\\', dir.size()), std::wstring::npos);

    setStartValues(g_app);
    buildConfigPath();
    EXPECT_EQ(std::wstring(g_app.configPath), dir + L"config.ini");
}

// A folder name that no single-byte code page spells: the file is read and
// written all the same, in the same single-byte form.
TEST_F(ConfigFileTest, AnyFolderNameWorks)
{
    const std::wstring wideFolder = std::wstring(folder.begin(), folder.end()) + L"\\\u041f\u0451\u0442\u0440 \u6771\u4eac";
    ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
    const std::wstring widePath = wideFolder + L"\\config.ini";
    lstrcpynW(g_app.configPath, widePath.c_str(), kTextBufferSize);
    load();
    writeSetting("config", "message_hide_time", "30");
    g_app.hideSeconds = 0;
    load();
    EXPECT_EQ(g_app.hideSeconds, 30);

    const HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char bytes[256] = "";
    DWORD read = 0;
    ReadFile(file, bytes, sizeof bytes - 1, &read, nullptr);
    CloseHandle(file);
    EXPECT_EQ(std::string(bytes, read), "[config]\r\nping_time_interval=60\r\nmessage_hide_time=30\r\n");
    DeleteFileW(widePath.c_str());
    RemoveDirectoryW(wideFolder.c_str());
}

} // namespace
