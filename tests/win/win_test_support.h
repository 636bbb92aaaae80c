// Helpers for the tests that run under Wine: a scratch folder, whole-file
// reads and writes, and a fresh AppState.
#pragma once

#include <windows.h>

#include <string>

#include "core/app_state.h"

std::string makeScratchFolder();
void removeScratchFolder(const std::string& folder);
std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Start values, with configPath set to the given file.
void resetAppState(const std::string& configPath);

// Handles the messages waiting for this thread's windows.
void pumpMessages();

// A hidden main window with the program's window procedure, a scratch
// config.ini and fresh state; everything is destroyed afterwards.
struct TrayTestBase {
    std::string folder;
    std::string configPath;

    void setUpTray();
    void tearDownTray();
    std::string config() { return readWholeFile(configPath); }
    void removeConfig() { DeleteFileA(configPath.c_str()); }
};
