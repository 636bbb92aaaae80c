// The two sounds played on a change of state, chosen from the tray menu.
#pragma once

#include <windows.h>

#include "app/app_state.h"

// Unchecks a checked item and forgets its sound, or lets the user choose one.
void toggleSoundItem(UINT itemId, char (&path)[kTextBufferSize]);
// The open-file dialog and a test play; 1 when a file was kept in path, else 0.
int chooseSoundFile(char (&path)[kTextBufferSize]);
// A RIFF/WAVE file whose format chunk the multimedia functions can read.
bool isReadableWaveFile(const char* path);
// Plays a sound with the program's play flags; FALSE when it cannot.
BOOL playSound(const char* path);
// The sound of a change to this state, if one was chosen.
void playStateSound(LinkState state);
