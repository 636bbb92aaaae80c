#include "tray/tray_menu.h"

#include <cstddef>

#include "core/app_state.h"
#include "settings/config_file.h"
#include "settings/setting_values.h"
#include "sound/sound_choice.h"
#include "system/start_with_windows.h"
#include "tray/hide_times.h"
#include "tray/status_window.h"

// The item record as version 4 of the platform knew it, without hbmpItem.
static_assert(offsetof(MENUITEMINFOA, hbmpItem) == (sizeof(void*) == 4 ? 44 : 72),
              "the menu item record without hbmpItem is 44 bytes in a 32-bit build");

namespace {

enum : UINT { kMenuItemInfoSize = offsetof(MENUITEMINFOA, hbmpItem) };

UINT checkedIf(bool checked)
{
    return checked ? MF_CHECKED : MF_STRING;
}

MENUITEMINFOA stateRecord(UINT state)
{
    MENUITEMINFOA info = {};
    info.cbSize = kMenuItemInfoSize;
    info.fMask = MIIM_STATE;
    info.fState = state;
    return info;
}

void appendHideTimeChoices()
{
    for (const HideTimeChoice& choice : kHideTimeChoices)
        AppendMenuA(g_app.hideTimeMenu, checkedIf(choice.seconds == g_app.hideSeconds), choice.commandId,
                    choice.label);
}

// Filled only once it hangs in the tray menu, where items are looked up by id.
void fillDisplayMessageMenu(HMENU displayMenu)
{
    AppendMenuA(displayMenu, checkedIf(g_app.statusWindow != nullptr), IDM_DISPLAY_MESSAGE,
                "Enable Display Message");
    g_app.hideTimeMenu = CreatePopupMenu();
    AppendMenuA(displayMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(g_app.hideTimeMenu), "Set Auto Hide Time");
    setHideTimeMenuEnabled(g_app.statusWindow != nullptr);
    appendHideTimeChoices();
}

} // namespace

UINT menuItemState(UINT commandId)
{
    MENUITEMINFOA info = stateRecord(0);
    GetMenuItemInfoA(g_app.trayMenu, commandId, FALSE, &info);
    return info.fState;
}

bool isMenuItemChecked(UINT commandId)
{
    return (menuItemState(commandId) & MFS_CHECKED) != 0;
}

void setMenuItemState(UINT commandId, UINT state)
{
    MENUITEMINFOA info = stateRecord(state);
    SetMenuItemInfoA(g_app.trayMenu, commandId, FALSE, &info);
}

void buildTrayMenu()
{
    g_app.trayMenu = CreatePopupMenu();
    AppendMenuA(g_app.trayMenu, checkedIf(g_app.upSoundPath[0] != '\0'), IDM_SOUND_UP, "Play Sound When Up");
    AppendMenuA(g_app.trayMenu, checkedIf(g_app.downSoundPath[0] != '\0'), IDM_SOUND_DOWN,
                "Play Sound When Down");
    const HMENU displayMenu = CreatePopupMenu();
    AppendMenuA(g_app.trayMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(displayMenu), "Display Message");
    fillDisplayMessageMenu(displayMenu);
    if (findHideTimeBySeconds(g_app.hideSeconds) == nullptr)
        selectHideTime(IDM_HIDE_NEVER);
    // The log lies beside config.ini: no settings folder, no log.
    const UINT logItem = g_app.configPath[0] != L'\0' ? MF_STRING : MF_GRAYED;
    AppendMenuA(g_app.trayMenu, logItem, IDM_HISTORY, "History");
    AppendMenuA(g_app.trayMenu, logItem, IDM_CONNECTION_LOG, "Connection Log");
    AppendMenuA(g_app.trayMenu, checkedIf(isStartingWithWindows()), IDM_START_WITH_WINDOWS, "Start with Windows");
    AppendMenuA(g_app.trayMenu, MF_STRING, IDM_HELP, "Help");
    AppendMenuA(g_app.trayMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(g_app.trayMenu, MF_STRING, IDM_EXIT, "&Exit");
}

void setHideTimeMenuEnabled(bool enabled)
{
    // A popup item's command id is its submenu's handle.
    const UINT popupId = static_cast<UINT>(reinterpret_cast<UINT_PTR>(g_app.hideTimeMenu));
    UINT state = menuItemState(popupId) & MFS_CHECKED;
    if (!enabled)
        state |= MFS_GRAYED | MFS_DISABLED;
    setMenuItemState(popupId, state);
}

void selectHideTime(UINT commandId)
{
    if (!isMenuItemChecked(commandId)) {
        setMenuItemState(commandId, MFS_CHECKED);
        if (const HideTimeChoice* choice = findHideTimeById(static_cast<int>(commandId)))
            g_app.hideSeconds = choice->seconds;
        char value[kSettingValueSize];
        formatSettingInt(value, g_app.hideSeconds);
        writeSetting("config", "message_hide_time", value);
    }
    for (const HideTimeChoice& choice : kHideTimeChoices)
        if (static_cast<UINT>(choice.commandId) != commandId)
            setMenuItemState(static_cast<UINT>(choice.commandId), 0);
}

void toggleSoundItem(UINT itemId, wchar_t (&path)[kTextBufferSize])
{
    if (isMenuItemChecked(itemId)) {
        path[0] = L'\0';
        setMenuItemState(itemId, 0);
        return;
    }
    if (chooseSoundFile(path))
        setMenuItemState(itemId, MFS_CHECKED);
}

void toggleDisplayMessage()
{
    const bool turningOn = !isMenuItemChecked(IDM_DISPLAY_MESSAGE);
    if (turningOn)
        openStatusWindow();
    else
        closeStatusWindow();
    setMenuItemState(IDM_DISPLAY_MESSAGE, turningOn ? MFS_CHECKED : 0);
    writeSetting("config", "use_dialog_message", turningOn ? "yes" : "no");
    setHideTimeMenuEnabled(turningOn);
}

void toggleStartWithWindows()
{
    setStartingWithWindows(!isStartingWithWindows());
    refreshTrayMenu();
}

void showSignInPageItem(bool shown)
{
    const bool present = GetMenuState(g_app.trayMenu, IDM_OPEN_SIGN_IN_PAGE, MF_BYCOMMAND) != static_cast<UINT>(-1);
    if (shown && !present)
        InsertMenuA(g_app.trayMenu, 0, MF_BYPOSITION | MF_STRING, IDM_OPEN_SIGN_IN_PAGE, "Open Sign-in Page");
    else if (!shown && present)
        DeleteMenu(g_app.trayMenu, IDM_OPEN_SIGN_IN_PAGE, MF_BYCOMMAND);
}

void refreshTrayMenu()
{
    // The user may have removed the value, or moved the program, meanwhile.
    setMenuItemState(IDM_START_WITH_WINDOWS, isStartingWithWindows() ? MFS_CHECKED : 0);
}
