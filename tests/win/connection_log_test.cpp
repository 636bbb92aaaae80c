// The connection log against real files under Wine: rows kept while another
// program holds the file, written later in order with their own times; the
// bound on what is kept; a rotation that cannot rename; the path opened.
#include <gtest/gtest.h>

#include <string>

#include "history/connection_log.h"
#include "history/local_time.h"
#include "win_test_support.h"

namespace {

const ULONGLONG kSecond = 10000000;

struct ConnectionLogTest : ::testing::Test {
    std::string folder, log, oldLog;
    ULONGLONG start = 0;

    void SetUp() override
    {
        folder = makeScratchFolder();
        log = folder + "\\connection-log.csv";
        oldLog = folder + "\\connection-log.1.csv";
        resetAppState(folder + "\\config.ini");
        start = utcNow();
    }
    void TearDown() override
    {
        retryKeptRows();  // nothing may wait for the next test
        EXPECT_FALSE(logHasKeptRows());
        removeScratchFolder(folder);
    }

    // Logs a state as shown that many seconds after the start; returns its row.
    std::string logAt(int seconds, LinkState state, BreakCause cause = NoCause)
    {
        const ULONGLONG at = start + seconds * kSecond;
        LocalTime time;
        SYSTEMTIME local;
        localTimeOf(at, time, local);
        char row[kLogRowSize];
        formatLogRow(row, time, state, seconds, cause);
        logShownState(state, cause, seconds, at);
        return row;
    }
};

// Another program's handle on a file, as a spreadsheet or a backup tool holds it.
struct Holder {
    HANDLE file;
    Holder(const std::string& path, DWORD share)
        : file(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~Holder() { release(); }
    void release()
    {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
};

const char kHeader[] = "time,state,seconds_in_previous_state,cause\r\n";

TEST_F(ConnectionLogTest, RowsOfABusyFileAreKeptAndWrittenLaterInOrderWithTheirOwnTimes)
{
    const std::string first = logAt(0, Broken);
    Holder spreadsheet(log, FILE_SHARE_READ);
    ASSERT_NE(spreadsheet.file, INVALID_HANDLE_VALUE);
    const std::string second = logAt(60, Connected);
    const std::string third = logAt(125, Broken);
    retryKeptRows();
    EXPECT_EQ(readWholeFile(log), kHeader + first) << "nothing reaches the file while it is held";
    EXPECT_TRUE(logHasKeptRows());

    spreadsheet.release();
    retryKeptRows();  // the minute's retry
    EXPECT_EQ(readWholeFile(log), kHeader + first + second + third);
    EXPECT_FALSE(logHasKeptRows());

    // Released between two rows: the next row brings the kept one first.
    Holder again(log, FILE_SHARE_READ);
    const std::string fourth = logAt(3600, Connected);
    again.release();
    const std::string fifth = logAt(7200, Broken);
    EXPECT_EQ(readWholeFile(log), kHeader + first + second + third + fourth + fifth);
}

TEST_F(ConnectionLogTest, PastAThousandKeptRowsTheOldestGoAndOneLineSaysHowMany)
{
    logAt(0, Broken);
    Holder spreadsheet(log, FILE_SHARE_READ);
    std::string kept;
    for (int i = 1; i <= 1003; ++i) {
        const std::string row = logAt(i, i % 2 ? Connected : Broken);
        if (i > 3)
            kept += row;
    }
    spreadsheet.release();
    retryKeptRows();
    const std::string text = readWholeFile(log);
    const std::string lostLine = "# 3 rows lost here: the log could not be written for too long\r\n";
    const size_t lost = text.find(lostLine);
    ASSERT_NE(lost, std::string::npos);
    EXPECT_EQ(text.substr(lost + lostLine.size()), kept) << "the newest 1,000 rows follow, in order";
}

TEST_F(ConnectionLogTest, ARotationThatCannotReplaceTheOldFileGoesOnAppendingAndTriesAgain)
{
    // 10 bytes short of 1 MiB, and in the way of the rename: a folder of the old log's name.
    std::string full = kHeader;
    full += std::string(1048576 - 10 - full.size() - 2, '#') + "\r\n";
    writeWholeFile(log, full);
    ASSERT_TRUE(CreateDirectoryA(oldLog.c_str(), nullptr));
    const std::string held = logAt(0, Broken);
    EXPECT_EQ(readWholeFile(log), full + held) << "the row is appended, not dropped";
    EXPECT_FALSE(logHasKeptRows());

    RemoveDirectoryA(oldLog.c_str());
    const std::string next = logAt(5, Connected);
    EXPECT_EQ(readWholeFile(oldLog), full + held) << "the next row sets the full log aside";
    EXPECT_EQ(readWholeFile(log), kHeader + next);
}

TEST_F(ConnectionLogTest, ALogBegunWithThreeColumnsKeepsThemUntilItIsSetAside)
{
    const std::string threeColumns = "time,state,seconds_in_previous_state\r\n2026-12-07T16:05:09+01:00,Connected,\r\n";
    std::string old = threeColumns + std::string(1048576 - 60 - threeColumns.size() - 2, '#') + "\r\n";
    writeWholeFile(log, old);
    std::string row = logAt(0, Broken, RouterSilent);
    ASSERT_EQ(row.substr(row.size() - 9), ",router\r\n");
    row.replace(row.size() - 9, 9, "\r\n");
    EXPECT_EQ(readWholeFile(log), old + row) << "three columns, as the file began";

    const std::string next = logAt(5, Broken, ProviderDown);
    EXPECT_EQ(readWholeFile(oldLog), old + row) << "set aside when full";
    EXPECT_EQ(readWholeFile(log), kHeader + next) << "the new file has four";
}

TEST_F(ConnectionLogTest, TheOldLogHeldByAnotherProgramDelaysTheRotationOnly)
{
    std::string full = kHeader;
    full += std::string(1048576 - 10 - full.size() - 2, '#') + "\r\n";
    writeWholeFile(log, full);
    writeWholeFile(oldLog, "an older log\r\n");
    Holder viewer(oldLog, FILE_SHARE_READ | FILE_SHARE_WRITE);  // no delete sharing: cannot be replaced
    const std::string row = logAt(0, Broken);
    viewer.release();
    const std::string text = readWholeFile(log) + readWholeFile(oldLog);
    EXPECT_NE(text.find(row), std::string::npos) << "the row went to one of the two files";
    EXPECT_FALSE(logHasKeptRows());
}

TEST_F(ConnectionLogTest, ARunEndedUnseenIsWrittenOnceThoughItsFileCannotBeDeleted)
{
    logAt(0, Connected);
    noteRunning(30, start + 30 * kSecond);
    const std::string running = folder + "\\connection-log.running";
    Holder backup(running, FILE_SHARE_READ);  // readable, never deletable
    ASSERT_NE(backup.file, INVALID_HANDLE_VALUE);
    ULONGLONG endedAt = 0;
    ASSERT_TRUE(logRunEndedUnseen(endedAt)) << "the first start after it";
    EXPECT_EQ(endedAt, start + 30 * kSecond);
    EXPECT_FALSE(logRunEndedUnseen(endedAt)) << "the next start: the moment is in the log already";
    const std::string text = readWholeFile(log);
    size_t rows = 0;
    for (size_t at = text.find(",Not watching,"); at != std::string::npos; at = text.find(",Not watching,", at + 1))
        ++rows;
    EXPECT_EQ(rows, 1u) << text;
}

TEST_F(ConnectionLogTest, TheLogOpenedIsTheFileWritten)
{
    wchar_t path[kTextBufferSize];
    EXPECT_FALSE(writtenLogPath(path)) << "no log yet";
    logAt(0, Broken);
    ASSERT_TRUE(writtenLogPath(path));
    wchar_t built[kTextBufferSize];
    ASSERT_TRUE(connectionLogPath(built));
    // Nothing is redirected here: the system names the file as it was built.
    EXPECT_EQ(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path, -1, built, -1), CSTR_EQUAL)
        << "opened: " << std::string(path, path + lstrlenW(path));
}

} // namespace
