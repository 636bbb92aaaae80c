#include "tray/sound_choice.h"

#include <commdlg.h>
#include <mmsystem.h>

#include <cstddef>

#include "app/text.h"
#include "tray/tray_menu.h"

namespace {

// The open-file record as version 4.00 of the platform knew it, which every
// version of the dialog accepts.
enum : DWORD { kOpenFileNameSize = offsetof(OPENFILENAMEA, pvReserved) };
static_assert(kOpenFileNameSize == (sizeof(void*) == 4 ? 76 : 136),
              "the version-4.00 open-file record is 76 bytes in a 32-bit build");

enum : DWORD { kPlayFlags = SND_FILENAME | SND_ASYNC | SND_NODEFAULT | SND_NOWAIT };
static_assert(kPlayFlags == 0x22003, "the program's play flags");

void mediaFolder(char (&folder)[kTextBufferSize])
{
    char windowsFolder[kTextBufferSize] = "";
    GetWindowsDirectoryA(windowsFolder, sizeof windowsFolder);
    copyText(folder, windowsFolder);
    appendText(folder, "\\Media");
}

bool askForWaveFile(char (&fileName)[MAX_PATH])
{
    char initialFolder[kTextBufferSize];
    mediaFolder(initialFolder);
    fileName[0] = '\0';
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = kOpenFileNameSize;
    dialog.hwndOwner = g_app.mainWindow;
    dialog.hInstance = g_app.instance;
    dialog.lpstrFilter = "Wave Files\0*.wav\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = initialFolder;
    dialog.lpstrTitle = "Choose the sound you want to play";
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    dialog.lpstrDefExt = "wav";
    return GetOpenFileNameA(&dialog) != FALSE;
}

} // namespace

bool isReadableWaveFile(const char* path)
{
    HMMIO file = mmioOpenA(const_cast<char*>(path), nullptr, MMIO_READ | MMIO_ALLOCBUF);
    if (file == nullptr)
        return false;
    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    MMCKINFO format = {};
    format.ckid = mmioFOURCC('f', 'm', 't', ' ');
    PCMWAVEFORMAT header = {};
    const LONG headerSize = sizeof header;
    const bool readable = mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR &&
                          mmioDescend(file, &format, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR &&
                          format.cksize >= sizeof header &&
                          mmioRead(file, reinterpret_cast<HPSTR>(&header), headerSize) == headerSize;
    mmioClose(file, 0);
    return readable;
}

BOOL playSound(const char* path)
{
    return PlaySoundA(path, nullptr, kPlayFlags);
}

void playStateSound(LinkState state)
{
    const char* path = state == Connected ? g_app.upSoundPath : g_app.downSoundPath;
    if (path[0] != '\0')
        playSound(path);
}

int chooseSoundFile(char (&path)[kTextBufferSize])
{
    char fileName[MAX_PATH];
    if (!askForWaveFile(fileName))
        return 0;
    // An asynchronous play reports success even for files it cannot play, so
    // the file is checked to be a readable wave file first.
    if (!isReadableWaveFile(fileName) || !playSound(fileName)) {
        MessageBoxA(nullptr, "File type not supported! Try another one.", "Error opening file",
                    MB_OK | MB_ICONERROR);
        return 0;
    }
    copyText(path, fileName);
    return 1;
}

void toggleSoundItem(UINT itemId, char (&path)[kTextBufferSize])
{
    if (isMenuItemChecked(itemId)) {
        path[0] = '\0';
        setMenuItemState(itemId, 0);
        return;
    }
    if (chooseSoundFile(path))
        setMenuItemState(itemId, MFS_CHECKED);
}
