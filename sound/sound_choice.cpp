#include "sound/sound_choice.h"

#include <commdlg.h>
#include <mmsystem.h>

#include <cstddef>

#include "core/system_library.h"
#include "core/text.h"
#include "sound/wave_format.h"

namespace {

// The open-file record as version 4.00 of the platform knew it, which every
// version of the dialog accepts.
enum : DWORD { kOpenFileNameSize = offsetof(OPENFILENAMEW, pvReserved) };
static_assert(kOpenFileNameSize == (sizeof(void*) == 4 ? 76 : 136),
              "the version-4.00 open-file record is 76 bytes in a 32-bit build");

// Played from memory (see loadSound), asynchronously, with no default sound
// in place of one that cannot play and no waiting for a busy device.
enum : DWORD { kPlayFlags = SND_MEMORY | SND_ASYNC | SND_NODEFAULT | SND_NOWAIT };
// Larger files are refused: about a minute and a half of CD-quality sound.
enum : DWORD { kMaxSoundBytes = 16u << 20 };

void mediaFolder(wchar_t (&folder)[kTextBufferSize])
{
    wchar_t windowsFolder[kTextBufferSize] = L"";
    GetWindowsDirectoryW(windowsFolder, kTextBufferSize);
    copyText(folder, windowsFolder);
    appendText(folder, L"\\Media");
}

bool askForWaveFile(wchar_t (&fileName)[MAX_PATH])
{
    wchar_t initialFolder[kTextBufferSize];
    mediaFolder(initialFolder);
    fileName[0] = L'\0';
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = kOpenFileNameSize;
    dialog.hwndOwner = g_app.mainWindow;
    dialog.hInstance = g_app.instance;
    dialog.lpstrFilter = L"Wave Files\0*.wav\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = initialFolder;
    dialog.lpstrTitle = L"Choose the sound you want to play";
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    dialog.lpstrDefExt = L"wav";
    return GetOpenFileNameW(&dialog) != FALSE;
}

// A wave file read whole: the system plays it from memory, since its own
// file reading takes code-page names and fails in folders the code page
// cannot spell.
struct LoadedSound {
    BYTE* bytes;
    DWORD size;
};

void freeSound(LoadedSound& sound)
{
    if (sound.bytes != nullptr)
        HeapFree(GetProcessHeap(), 0, sound.bytes);
    sound = {};
}

bool loadSound(const wchar_t* path, LoadedSound& sound)
{
    sound = {};
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const DWORD size = GetFileSize(file, nullptr);
    DWORD read = 0;
    if (size != INVALID_FILE_SIZE && size > 0 && size <= kMaxSoundBytes) {
        sound.bytes = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
        sound.size = size;
    }
    const bool loaded = sound.bytes != nullptr && ReadFile(file, sound.bytes, size, &read, nullptr) && read == size;
    CloseHandle(file);
    if (!loaded)
        freeSound(sound);
    return loaded;
}

// A wave file can say it holds more than it does (a download cut short):
// its sizes are cut to what was read, since the player trusts them.
bool isPlayable(LoadedSound& sound)
{
    return fitPlayableWave(sound.bytes, sound.size);
}

// PlaySoundW of winmm.dll in the system folder, found on first use.
typedef BOOL(WINAPI* PlaySoundFunction)(LPCWSTR, HMODULE, DWORD);
PlaySoundFunction g_playSound;

BOOL playSoundCall(LPCWSTR sound, DWORD flags)
{
    if (g_playSound == nullptr)
        findSystemFunction(g_playSound, L"winmm.dll", "PlaySoundW");
    return g_playSound != nullptr && g_playSound(sound, nullptr, flags);
}

// The sound playing now, which the system reads while it plays: freed only
// once a newer one has stopped it.
LoadedSound g_playing;

} // namespace

bool isPlayableWaveFile(const wchar_t* path)
{
    LoadedSound sound;
    const bool playable = loadSound(path, sound) && isPlayable(sound);
    freeSound(sound);
    return playable;
}

BOOL playSound(const wchar_t* path)
{
    LoadedSound sound;
    if (!loadSound(path, sound))
        return FALSE;
    if (!isPlayable(sound)) {
        freeSound(sound);
        return FALSE;
    }
    playSoundCall(nullptr, 0);  // stops ours, so that its memory can go
    freeSound(g_playing);
    g_playing = sound;
    return playSoundCall(reinterpret_cast<LPCWSTR>(g_playing.bytes), kPlayFlags);
}

void playStateSound(LinkState state)
{
    const wchar_t* path = state == Connected ? g_app.upSoundPath : g_app.downSoundPath;
    if (path[0] != L'\0')
        playSound(path);
}

int chooseSoundFile(wchar_t (&path)[kTextBufferSize])
{
    wchar_t fileName[MAX_PATH];
    if (!askForWaveFile(fileName))
        return 0;
    // An asynchronous play reports success even for sounds it cannot play,
    // so playSound checks the wave itself first.
    if (!playSound(fileName)) {
        MessageBoxA(nullptr, "File type not supported! Try another one.", "Error opening file",
                    MB_OK | MB_ICONERROR);
        return 0;
    }
    copyText(path, fileName);
    return 1;
}
