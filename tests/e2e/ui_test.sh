#!/usr/bin/env bash
# What the user touches, driven with the mouse and keyboard (xdotool) and
# observed from outside: the menu and its marks, the status window and its
# countdown, the sounds chosen through the real dialog, and Exit.
source "$(dirname "$0")/harness.sh"
LINTORA_EXE=$1
PEEK_EXE=$2
e2e_init ui
e2e_start_display
SHOTS=${LINTORA_SHOTS:-}
install_lintora $'[config]\nping_time_interval=1\nmessage_hide_time=25'
# The sounds lie beside the program, in a folder that the code page cannot spell.
UP_SOUND="$APP_DIR/up.wav"
DOWN_SOUND="$APP_DIR/down.wav"
make_sound "$UP_SOUND" 1
make_sound "$DOWN_SOUND" 2
# The up sound is cut short: its header claims ten times the 8,000 bytes of samples it holds.
python3 "$E2E_DIR/sound_tool.py" overstate "$UP_SOUND" 10
echo "not a sound" >"$APP_DIR/notes.wav"
listen_to_sounds
# DLLs of system names beside the program must never load, even preferred.
plant_dlls "$APP_DIR"

loopback up
start_lintora first
check "the Connected icon" wait_until 30 tray_shows connected
check "a stored hide time not in the menu is written back as 0" [ "$(config_value message_hide_time)" = 0 ]

# Clicks on the icon: the left button opens nothing, the right one the menu.
icon_click 1
sleep 1
check "a left click opens no menu" peek_matches "" menus
check "a right click opens the menu" open_menu
expect_eq "no sound is checked at start-up" "lines=8 marks=0,0,0,0,0,0,0,0 grayed=0,0,0,0,0,0,0,0" "$(marks_of_open_menu)"
[ -n "$SHOTS" ] && read -r mx my mw mh < <(peek menus | tail -n 1) &&
    convert "$(screenshot)" -crop $((mw + 40))x$((mh + 40))+$((mx - 20))+$((my - 20)) +repage "$SHOTS/menu.png"
keys Down Down Down Right
expect_eq "messages off: Enable Display Message unchecked, Set Auto Hide Time grayed" "lines=2 marks=0,0 grayed=0,1" "$(marks_of_open_menu)"
keys Escape Escape Escape
wait_until 5 peek_matches "" menus

# Enable Display Message: written at once, the window shows at the next change.
menu Down Down Down Right Return
check "Enable Display Message writes use_dialog_message=yes" wait_until 5 config_is use_dialog_message yes
menu Down Down Down Right
expect_eq "messages on: checked, and Set Auto Hide Time enabled" "lines=2 marks=1,0 grayed=0,0" "$(marks_of_open_menu)"
keys Down Right Down Down Down
expect_eq "Never is the hide time" "lines=7 marks=1,0,0,0,0,0,0 grayed=0,0,0,0,0,0,0" "$(marks_of_open_menu)"
keys Return
check "30 s chosen: 30 written" wait_until 5 config_is message_hide_time 30
stamp=$(config_stamp)
sleep 1.1
menu Down Down Down Right Down Right
expect_eq "30 s carries the mark" "lines=7 marks=0,0,0,1,0,0,0 grayed=0,0,0,0,0,0,0" "$(marks_of_open_menu)"
keys Down Down Down Return
sleep 1
check "choosing 30 s again writes nothing" [ "$(config_stamp)" = "$stamp" ]

# A 10 s auto-hide: the countdown on the button, then the window hides itself.
menu Down Down Down Right Down Right Down Return
check "10 s chosen" wait_until 5 config_is message_hide_time 10
loopback down
check "on the change the status window shows the broken text" wait_until 40 \
    peek_matches '*visible=1*text=Internet connection is broken.\\nNo network connection' status
status=$(peek status)
e2e_log "status: $status"
check "the button counts down from OK[10]" grep -Eq 'ok=OK\[(10|9|8)\]' <<<"$status"
[ -n "$SHOTS" ] && read -r sx sy < <(echo "$status" | sed 's/.* x=\([0-9-]*\) y=\([0-9-]*\) .*/\1 \2/') &&
    convert "$(screenshot)" -crop 280x120+$((sx - 10))+$((sy - 10)) +repage "$SHOTS/status-window.png"
check "it hides itself about 10 s later" wait_until 15 peek_matches '*visible=0*' status
status=$(peek status)
check "and reads OK again" grep -q 'ok=OK text=' <<<"$status"
read -r sx sy < <(echo "$status" | sed 's/.* x=\([0-9-]*\) y=\([0-9-]*\) .*/\1 \2/')
check "both position keys were written" [ "$(config_value messagebox_h_position) $(config_value messagebox_v_position)" = "$sx $sy" ]

# Moved by the user, the window comes back where it was left.
loopback up
check "shown again on the next change" wait_until 30 peek_matches '*visible=1*' status
xdotool mousemove $((sx + 60)) $((sy + 8)) mousedown 1 mousemove $((sx + 30)) $((sy - 100)) mousemove $((sx - 30)) $((sy - 200)) mouseup 1
sleep 0.5
read -r mx my < <(peek status | sed 's/.* x=\([0-9-]*\) y=\([0-9-]*\) .*/\1 \2/')
check "the caption drag moved it" [ "$mx $my" != "$sx $sy" ]
check "it hides by itself and stores where it was left" wait_until 15 config_is messagebox_h_position "$mx"
loopback down
check "the next showing is where it was left" wait_until 40 peek_matches "*visible=1 x=$mx y=$my *" status

# Messages off: "no" written, later changes show nothing.
menu Down Down Down Right Return
check "turning messages off writes no" wait_until 5 config_is use_dialog_message no
check "and the window is gone" peek_matches 'found=0*' status
loopback up
wait_until 30 tray_shows connected
check "a change with messages off shows no window" peek_matches 'found=0*' status

# Sounds through the real open-file dialog, heard as they play.
menu Down Return
check "Play Sound When Up opens the dialog" choose_in_dialog "$UP_SOUND"
check "the dialog closes" wait_until 10 peek_matches visible=0 window "Choose the sound you want to play"
check "a wave file is accepted without an error" peek_matches 'count=0*' boxes "Error opening file"
check "choosing a sound plays it once" wait_until 10 heard "$UP_SOUND" 1
sleep 1.5
played=$(stat -c %s "$E2E_WORK/audio.raw")
e2e_log "bytes played of the cut-short sound: $played"
check "a cut-short sound plays what it holds and nothing past it ($played of 8000 bytes)" \
    bash -c '(($1 >= 8000 && $1 <= 8000 + 2048))' _ "$played"
menu Down Down Return
check "Play Sound When Down opens the dialog" choose_in_dialog "$APP_DIR/notes.wav"
check "a file that is not a wave gives the error box" wait_until 10 \
    peek_matches "count=1 text=File type not supported! Try another one." boxes "Error opening file"
peek dismiss "Error opening file" >/dev/null
sleep 0.5
open_menu
expect_eq "the up sound is checked, the down sound is not" "lines=8 marks=1,0,0,0,0,0,0,0 grayed=0,0,0,0,0,0,0,0" "$(marks_of_open_menu)"
keys Down Down Return
check "a wave for the down sound" choose_in_dialog "$DOWN_SOUND"
check "is played once when chosen" wait_until 10 heard "$DOWN_SOUND" 1
check "no sound path is stored" bash -c '! grep -qi wav "$1"' _ "$APP_DIR/config.ini"

loopback down
check "a loss plays the down sound" wait_until 40 heard "$DOWN_SOUND" 2
loopback up
check "a restore plays the up sound" wait_until 30 heard "$UP_SOUND" 2
check "and not the down sound" heard "$DOWN_SOUND" 2
menu Down Return
loopback down
check "with Play Sound When Up unchecked a loss still plays the down sound" wait_until 40 heard "$DOWN_SOUND" 3
loopback up
check "Connected again" wait_until 30 tray_shows connected
sleep 3
check "with Play Sound When Up unchecked the restore plays nothing" heard "$UP_SOUND" 2
e2e_log "heard: up $(times_heard "$UP_SOUND"), down $(times_heard "$DOWN_SOUND") times"
expect_eq "sounds played, and no DLL planted beside the program was loaded" "" "$(planted_dlls_loaded "$APP_DIR")"

# Exit while Connected, and after a restart while Broken: no icon left, 0.
menu Down Down Down Down Down Down Down Down Return
check "Exit while Connected ends with 0" wait_until 20 exited_with first 0
check "and leaves no icon" wait_until 10 tray_shows none
loopback down
start_lintora second
check "restarted with the network down: Broken" wait_until 30 tray_shows broken
menu Down Down Down Down Down Down Down Down Return
check "Exit while Broken ends with 0" wait_until 20 exited_with second 0
check "and leaves no icon" wait_until 10 tray_shows none

e2e_finish
