// The two sounds played on a change of state, chosen from the tray menu.
#pragma once

#include <windows.h>

#include "core/app_state.h"

// The open-file dialog and a test play; 1 when a file was kept in path, else 0.
int chooseSoundFile(wchar_t (&path)[kTextBufferSize]);
// A wave file that the system can play (see sound/wave_format.h).
bool isPlayableWaveFile(const wchar_t* path);
// Plays a wave file asynchronously; FALSE when it cannot be read or is no
// wave that can play.
BOOL playSound(const wchar_t* path);
// The sound of a change to this state, if one was chosen.
void playStateSound(LinkState state);
