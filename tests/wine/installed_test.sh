#!/usr/bin/env bash
# Orvane as a Windows user has it, proven under Wine: the lab (lab/orvane-lab up --windows)
# installs build-win64/OrvaneSetup-<version>.exe silently into a Wine prefix of its own and
# runs the installed "C:\Program Files\Orvane\orvane.exe" beside a Linux client, against the
# lab's voice and web servers, on a virtual screen. Checked, through that installed program:
#   - the installed files, the shortcuts' working folder, the entry in the list of programs;
#   - its window in the account's colour (account request, own card and parameters over
#     WinHTTP), the digit keys, and the talker card with its picture when the Linux client talks;
#   - the Linux client hears the Windows client bit-exact, and the Windows client plays what
#     the Linux client says (at its pipe speaker);
#   - the group list, network and parameters windows open with the members' faces and the own
#     card; the colour dialog answered from the keyboard, the colour read back from the server;
#   - the Windows window and a Linux client's of the same account in the same state, side by
#     side in the build folder, with the share of pixels that differ;
#   - the speech icon starts "C:\Program Files\Orvane\Parlo.exe" and a second click ends it;
#   - the serial code on a pseudo-terminal that Wine shows as COM5, against the lab's adapter;
#   - a silent install is refused while Orvane runs; the silent uninstall leaves no file and no
#     registry key of its own; an install over an earlier version replaces it in place;
#   - WinHTTP keeps its session and connections (tests/wine/winhttp_session_test.exe).
# Requests are counted per TCP connection from the web server's request log.
#   tests/wine/installed_test.sh [WIN64_BUILD_DIR [LINUX_BUILD_DIR]]   (default build-win64, build)
#   KEEP=1 keeps the work folder (screenshots, logs, the lab's folder).
# The lab takes the system's fixed ports: the test runs in a network namespace of its own.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/../.."
root="$PWD"
win="$(cd "${1:-build-win64}" && pwd)"
lin="$(cd "${2:-build}" && pwd)"
RUN="$lin/run"
for f in "$RUN/orvane" "$RUN/orvane-voice-server" "$RUN/orvane-web-server" "$RUN/orvane-lab-tool" \
         "$win/lab/orvane-lab-trust-ca.exe" "$win/tests/wine/winhttp_session_test.exe"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "wine-installed: $f is not built" >&2; exit 2; }
done
setup=$(ls -t "$win"/OrvaneSetup-*.exe 2>/dev/null | head -n 1)
[ -n "$setup" ] || { echo "wine-installed: no $win/OrvaneSetup-<version>.exe" >&2; exit 2; }
version=$(basename "$setup" .exe)
version=${version#OrvaneSetup-}

if [ -z "${ORVANE_PRIVATE_NET:-}" ]; then
  # shellcheck source=lab/lib/private-net.sh
  source "$root/lab/lib/private-net.sh"
  private_net_exec bash "$self" "$win" "$lin"
fi
start=$(date +%s)
# (a name without "orvane": the uninstall check looks for that word in the whole prefix)
work=$(mktemp -d /tmp/wine-installed-test.XXXXXX)
LAB="$work/lab"
PREFIX="$LAB/wine"
export ORVANE_LAB_DIR="$LAB" ORVANE_RUN_DIR="$RUN" ORVANE_WIN64_DIR="$win"
unset DISPLAY WAYLAND_DISPLAY PULSE_SERVER PULSE_COOKIE QT_QPA_PLATFORM
WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE="$(command -v wine64 || command -v wine)"
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER="$(command -v wineserver64 || command -v wineserver)"
checks() { python3 "$root/tests/wine/wine_checks.py" "$@"; }
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane'
INSTALLED="$PREFIX/drive_c/Program Files/Orvane"

PIDS=()
lab_pid=""
cleanup() {
  local i
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill -TERM "${PIDS[$i]}" 2>/dev/null || true; done
  if [ -n "$lab_pid" ]; then kill -TERM "$lab_pid" 2>/dev/null || true; wait "$lab_pid" 2>/dev/null || true; fi
  WINEPREFIX="$PREFIX" "$WINESERVER" -k 2>/dev/null || true
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do wait "${PIDS[$i]}" 2>/dev/null || true; done
  if [ "${KEEP:-0}" = 1 ]; then echo "wine-installed: kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() {
  echo "wine-installed: FAIL: $*" >&2
  for f in "$LAB"/logs/*.log "$work"/*.log; do
    [ -f "$f" ] || continue
    echo "--- $(basename "$f")" >&2
    grep -v '^request ' "$f" | tail -n 12 >&2 || true
  done
  if [ -n "${DISPLAY:-}" ] && /usr/bin/import -display "$DISPLAY" -window root "$work/failure.png" 2>/dev/null; then
    echo "wine-installed: screen at failure: $work/failure.png (KEEP=1 keeps it)" >&2
  fi
  exit 1
}
step() { echo "wine-installed: $* ($(( $(date +%s) - start )) s)"; }
# Any other command that fails ends the test with where it happened.
trap 'fail "stopped at line $LINENO"' ERR

# wait_for SECONDS COMMAND... — until the command succeeds.
wait_for() {
  local deadline=$(( $(date +%s) + $1 )); shift
  until "$@" 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.3
  done
}

wine_in_prefix() { env WINEPREFIX="$PREFIX" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d" "$WINE" "$@"; }
pid_of() { cat "$LAB/pids/$1"; }
requests() { grep '^request ' "$LAB/logs/web-server.log" || true; }
# requested PATTERN — a request line of the web server matches (an extended regex on
# "METHOD TARGET STATUS").
requested() { requests | cut -d' ' -f3- | grep -Eq "$1"; }
main_window() { xdotool search --all --onlyvisible --pid "$1" --name '^ORVANE$' 2>/dev/null | head -n 1 || true; }
window_named() { xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n 1 || true; }
shown() { [ -n "$(window_named "$1" "$2")" ]; }
shot() { /usr/bin/import -window "$1" "$2" 2>/dev/null; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
press() { xdotool windowfocus --sync "$1" 2>/dev/null || true; xdotool key "${@:2}"; }
# colour_is WINDOW X Y RRGGBB — the window's pixel, within a small tolerance
colour_is() {
  shot "$1" "$work/probe.png" && [ "$(checks count "$work/probe.png" "$2" "$3" $(( $2 + 1 )) $(( $3 + 1 )) "$4")" = 0 ]
}

# ---- the lab, with the Windows client installed by its installer ---------------------------
"$root/lab/orvane-lab" up --windows --clients 2 --seconds 0 >"$work/lab.log" 2>&1 &
lab_pid=$!
lab_running() { grep -q 'running; logs in' "$work/lab.log"; }
until lab_running; do
  kill -0 "$lab_pid" 2>/dev/null || fail "the lab ended: $(tail -n 3 "$work/lab.log")"
  [ $(( $(date +%s) - start )) -lt 400 ] || fail "the lab did not come up"
  sleep 0.5
done
export DISPLAY
DISPLAY=$(sed -n 's/^orvane-lab: virtual screen \(:[0-9]*\)$/\1/p' "$work/lab.log")
[ -n "$DISPLAY" ] || fail "the lab named no virtual screen"
export PULSE_SERVER="unix:$LAB/pulse/run/native" PULSE_COOKIE="$LAB/pulse/state/cookie"
install_time=$(sed -n 's/.*installed Orvane in .* in \([0-9.]*\) s$/\1/p' "$work/lab.log")
step "lab up; $(basename "$setup") /S installed Orvane in $install_time s"

# ---- what the installer put there ------------------------------------------------------------
expected=$(sed -n 's/^ *Delete "\$INSTDIR\\\(.*\)"$/\1/p' "$win/installer/windows/files.nsh" | sort)
[ -n "$expected" ] || fail "no file list in $win/installer/windows/files.nsh"
actual=$(ls "$INSTALLED" | sort)
[ "$actual" = "$(printf '%s\nuninstall.exe\n' "$expected" | sort)" ] ||
  fail "installed files differ: $(diff <(echo "$actual") <(printf '%s\nuninstall.exe\n' "$expected" | sort) | tr '\n' ' ')"
cmp -s "$INSTALLED/orvane.exe" "$win/run/orvane.exe" || fail "the installed orvane.exe is not the one built"
cmp -s "$INSTALLED/Parlo.exe" "$win/run/Orvane/Parlo.exe" || fail "the installed Parlo.exe is not the one built"
for lnk in "$PREFIX/drive_c/users/Public/Desktop/Orvane.lnk" \
           "$PREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvane.lnk"; do
  [ -f "$lnk" ] || fail "no shortcut $lnk"
  [ "$(checks lnk-workdir "$lnk")" = 'C:\Program Files\Orvane' ] || fail "$lnk starts in '$(checks lnk-workdir "$lnk")'"
done
wine_in_prefix reg query "$UNINSTALL_KEY" >"$work/uninstall-key.txt" 2>&1 || fail "no entry in the list of programs"
value() { awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); sub(/\r$/, ""); print }' "$work/uninstall-key.txt"; }
[ "$(value DisplayName)" = Orvane ] || fail "DisplayName is '$(value DisplayName)'"
[ "$(value DisplayVersion)" = "$version" ] || fail "DisplayVersion is '$(value DisplayVersion)', not $version"
[ -n "$(value Publisher)" ] || fail "no Publisher"
[ "$(value InstallLocation)" = 'C:\Program Files\Orvane' ] || fail "InstallLocation is '$(value InstallLocation)'"
[ "$(value UninstallString)" = '"C:\Program Files\Orvane\uninstall.exe"' ] || fail "UninstallString is '$(value UninstallString)'"
[ "$(value QuietUninstallString)" = '"C:\Program Files\Orvane\uninstall.exe" /S' ] || fail "QuietUninstallString is '$(value QuietUninstallString)'"
[ "$(value DisplayIcon)" = 'C:\Program Files\Orvane\orvane.exe,0' ] || fail "DisplayIcon is '$(value DisplayIcon)'"
size_kb=$(( $(value EstimatedSize) ))
[ "$size_kb" -gt 1000 ] || fail "EstimatedSize is $size_kb kB"
step "installed: $(echo "$expected" | wc -l) files and the uninstaller in C:\\Program Files\\Orvane, both shortcuts start there, listed as Orvane $version ($size_kb kB)"

# ---- the Windows client's window, fetched over WinHTTP ---------------------------------------
wpid=$(pid_of client-1)
lpid=$(pid_of client-2)
kill -0 "$wpid" 2>/dev/null || fail "the Windows client has ended"
w1=$(main_window "$wpid")
w2=$(main_window "$lpid")
[ -n "$w1" ] && [ -n "$w2" ] || fail "the two main windows are not both shown"
started=$(awk '{ print $22 }' "/proc/$wpid/stat")
# The lab's client 1 has the colour COLORREF 0x282040: RGB 40 20 28.
wait_for 60 colour_is "$w1" 20 470 402028 || fail "the Windows client's window is not in its account's colour"
first_start=$(awk -v s="$started" -v hz="$(getconf CLK_TCK)" '{ printf "%.1f", $1 - s / hz }' /proc/uptime)
machine=$(printf '%016d' 424243)
requested "^GET /Hv3Km8Qz2R\.php\?S=2&I=$machine&V=TALMERA%20[0-9.]+&A=&F= 200$" || fail "no account request of the Windows client"
account=$(sed -n 's/^orvane-lab: client 1: account \([0-9]*\)$/\1/p' "$work/lab.log")
requested "^GET /users/$account/client\.xml 200$" || fail "no own card request of the Windows client"
requested "^GET /users/$account/params\.xml 200$" || fail "no parameters request of the Windows client"
step "Windows client: account $account's colour over WinHTTP (account request, own card, parameters); started and coloured within $first_start s"

# ---- the same channel for both, by the digit key ---------------------------------------------
press "$w1" 5
press "$w2" 5
on_channel_5() { "$root/lab/orvane-lab" status 2>/dev/null | grep -Eq "^ *channel 5: .*$account.*$(sed -n 's/^orvane-lab: client 2: account \([0-9]*\)$/\1/p' "$work/lab.log")"; }
wait_for 15 on_channel_5 || fail "the two clients are not both on channel 5: $("$root/lab/orvane-lab" status 2>&1 | tr '\n' ' ')"
account2=$(sed -n 's/^orvane-lab: client 2: account \([0-9]*\)$/\1/p' "$work/lab.log")
step "both clients on channel 5 by their digit key"

# ---- sound both ways -------------------------------------------------------------------------
# talk_through N FILE — client N talks while FILE goes into its pipe microphone at the real
# pace, once its capture records (data written earlier would come out in one burst).
recording_from() { pactl list short source-outputs 2>/dev/null | awk '{ print $2 }' | grep -qx "$(pactl list short sources | awk -v n="lab_mic_$1" '$2 == n { print $1 }')"; }
talk_through() {
  "$root/lab/orvane-lab" talk "$1" >/dev/null 2>&1 || fail "the talk command found no socket of client $1"
  wait_for 20 recording_from "$1" || fail "client $1 did not open its microphone after the talk command"
  "$RUN/orvane-lab-tool" feed "$2" "$LAB/client-$1/mic.fifo" >>"$work/feed.log" 2>&1 || fail "the feed of client $1's microphone stopped"
  sleep 0.3
  "$root/lab/orvane-lab" release "$1" >/dev/null 2>&1 || true
}
checks noise "$work/noise-linux.raw" 4 4242
checks noise "$work/noise-windows.raw" 4 2424
# heard_well N FED FROM — what client N's speaker played after its first FROM bytes is FED, bit
# for bit and in order, with only silence put in; on a machine loaded far beyond its cores a full
# jitter ring may drop a few blocks (at most 6 of 128 here; the figures say how many).
heard_well() {
  tail -c +$(( $3 + 1 )) "$LAB/client-$1/heard.raw" >"$work/heard-$1.raw"
  checks heard "$2" "$work/heard-$1.raw" 6 >"$work/heard-$1.txt"
}
heard_size() { stat -c %s "$LAB/client-$1/heard.raw" 2>/dev/null || echo 0; }
# hear_through TALKER LISTENER FED — TALKER says FED and LISTENER plays it well. A talk that
# lost more than that and nothing else (no byte that is not the signal's, none out of order) is
# said once more: a Wine program's sound output starved by a machine busy far beyond its cores
# (other test runs beside this one) drops what it could not play in time, a fault of the load
# and not of the program; a second talk that loses as much fails.
hear_through() {
  local from
  from=$(heard_size "$2")
  talk_through "$1" "$3"
  wait_for 15 heard_well "$2" "$3" "$from" && return 0
  grep -q "other sound" "$work/heard-$2.txt" && return 1
  echo "wine-installed: client $2 lost sound under load ($(cat "$work/heard-$2.txt")): said once more"
  from=$(heard_size "$2")
  talk_through "$1" "$3"
  wait_for 15 heard_well "$2" "$3" "$from"
}

hear_through 2 1 "$work/noise-linux.raw" ||
  fail "the Windows client did not play what the Linux client said: $(cat "$work/heard-1.txt")"
step "the Windows client played what the Linux client said: $(cat "$work/heard-1.txt")"

# The talker card of the Linux client's account, fetched and drawn by the Windows client (the
# talker itself never fetches its own card).
talker_card() { requested "^GET /users/$account2/images\.php\?N=2 200$" && requested "^GET /users/$account2/client\.xml 200$"; }
wait_for 10 talker_card || fail "the Windows client fetched no talker card of account $account2"
card_drawn() {
  shot "$w1" "$work/card.png" &&
    [ "$(checks count "$work/card.png" 12 342 72 402 402028)" -gt 1500 ] &&  # the picture
    [ "$(checks count "$work/card.png" 15 352 200 374 402028 --tolerance 40)" -gt 60 ]  # "Client 2  Labo"
}
wait_for 10 card_drawn || fail "the talker card is not drawn in the Windows client's window"
step "talker card of account $account2 with its picture, fetched over WinHTTP and drawn"

hear_through 1 2 "$work/noise-windows.raw" ||
  fail "the Linux client did not hear the Windows client: $(cat "$work/heard-2.txt")"
step "the Linux client heard the Windows client: $(cat "$work/heard-2.txt")"

# ---- the secondary windows -------------------------------------------------------------------
# Moved right, so that the windows unfolding to its left leave the zones that close them free.
xdotool windowmove "$w1" 250 35
sleep 0.5
since=$(requests | wc -l)
new_requests() { requests | tail -n +$(( since + 1 )) | cut -d' ' -f3-; }
click "$w1" 30 135
wait_for 20 shown "$wpid" '^Orvane Group List$' || fail "no group list window"
gl=$(window_named "$wpid" '^Orvane Group List$')
# Row 5 (channel 5) shows both members' faces; rows without members are the empty cells only.
faces_in_row_5() {
  shot "$gl" "$work/group-list.png" && [ "$(checks count "$work/group-list.png" 20 214 620 254 00FFFF 0000FF)" -gt 1500 ]
}
wait_for 20 faces_in_row_5 || fail "the group list shows no faces on channel 5's row"
new_requests | grep -Eq "^GET /users//images\.php\?F=$account2&N=1 200$" || fail "the group list fetched no member picture"
click "$w1" 30 135
closed() { [ -z "$(window_named "$wpid" "$1")" ]; }
wait_for 10 closed '^Orvane Group List$' || fail "a second click did not close the group list"
step "group list: both faces on channel 5's row, closed by a second click"

click "$w1" 427 387
wait_for 20 shown "$wpid" '^Orvane Network$' || fail "no network window"
nw=$(window_named "$wpid" '^Orvane Network$')
faces_in_grid() {
  shot "$nw" "$work/network.png" && [ "$(checks count "$work/network.png" 10 10 300 93 00FF00 FFFF00)" -gt 1500 ]
}
wait_for 20 faces_in_grid || fail "the network window shows no faces"
click "$w1" 427 387
wait_for 10 closed '^Orvane Network$' || fail "a second click did not close the network window"
step "network window: the faces of channel 5, closed by a second click"

click "$w1" 95 285
wait_for 20 shown "$wpid" '^Orvane Params$' || fail "no parameters window"
pw=$(window_named "$wpid" '^Orvane Params$')
own_card() { shot "$pw" "$work/params.png" && [ "$(checks count "$work/params.png" 8 258 190 300 FF0000)" -gt 100 ]; }
wait_for 20 own_card || fail "the parameters window shows no own card"
step "parameters window with the own card"

# ---- the colour dialog, answered from the keyboard --------------------------------------------
click "$pw" 67 390
wait_for 20 shown "$wpid" '^(Color|Couleur)' || fail "no colour dialog"
cw=$(window_named "$wpid" '^(Color|Couleur)')
xdotool windowfocus --sync "$cw" 2>/dev/null || true
# The focus starts in the red field: red 200, green 100, blue 50, then OK.
xdotool key End BackSpace BackSpace BackSpace
xdotool type 200
xdotool key Tab
xdotool type 100
xdotool key Tab
xdotool type 50
xdotool key Return
wait_for 10 requested "^POST /users/$account/params\.php 200$" || fail "the chosen colour was not posted"
stored=$(python3 - "$LAB/web/ca/ca.pem" "$account" <<'EOF'
import http.client, ssl, sys
context = ssl.create_default_context(cafile=sys.argv[1])
c = http.client.HTTPSConnection("localhost", 44300, context=context)
c.request("GET", "/users/%s/params.xml" % sys.argv[2])
print(c.getresponse().read().decode())
EOF
)
case "$stored" in *"<BACKGROUND>3264C8</BACKGROUND>"*) ;; *) fail "the server keeps '$stored', not the colour 200 100 50" ;; esac
wait_for 10 colour_is "$w1" 20 470 C86432 || fail "the main window did not take the chosen colour"
click "$w1" 95 285
wait_for 10 closed '^Orvane Params$' || fail "a second click did not close the parameters window"
step "colour dialog answered (200 100 50): the server stores COLORREF 3264C8 and the window shows it"

# ---- the same picture on both systems ---------------------------------------------------------
# A Linux client of the same account (machine identifier) on the same channel, at the place of
# client 2's window; both hear the same talker, then rest.
xdotool windowmove "$w1" 40 35
mkdir -p "$work/xdg3" && chmod 700 "$work/xdg3" && : >"$work/no-ports"
env -C "$RUN" XDG_RUNTIME_DIR="$work/xdg3" ORVANE_LAB_VOLUME_SERIAL=424243 ORVANE_WEB_CA_FILE="$LAB/web/ca/ca.pem" \
  ORVANE_LAB_SERIAL_PORTS="$work/no-ports" PULSE_SINK=lab_null "$RUN/orvane" >"$work/linux-same-account.log" 2>&1 &
same=$!
PIDS+=("$same")
wait_for 30 shown "$same" '^ORVANE$' || fail "the Linux client of the same account shows no window"
w3=$(main_window "$same")
xdotool windowmove "$w3" 690 35 windowraise "$w3"
wait_for 30 colour_is "$w3" 20 470 C86432 || fail "the Linux client of the same account is not in its colour"
press "$w3" 5
press "$w1" 5  # also sets both countdowns alike
checks noise "$work/noise-short.raw" 2 99
talk_through 2 "$work/noise-short.raw"
# The pointer off both windows, the meters at rest, the talker card drawn.
xdotool mousemove 1270 790
sleep 4
/usr/bin/import -window root "$work/screen.png"
/usr/bin/convert "$work/screen.png" -crop 550x730+40+35 +repage "$work/windows-window.png"
/usr/bin/convert "$work/screen.png" -crop 550x730+690+35 +repage "$work/linux-window.png"
checks compare "$work/windows-window.png" "$work/linux-window.png" "$win/wine-side-by-side.png" \
  "$win/wine-side-by-side-diff.png" >"$work/compare.txt" || fail "the two pictures cannot be compared: $(cat "$work/compare.txt")"
sed 's/^/wine-installed:   /' "$work/compare.txt"
kill -TERM "$same" 2>/dev/null || true
wait "$same" 2>/dev/null || true
step "the same picture on both systems: $win/wine-side-by-side.png (differences: wine-side-by-side-diff.png)"

# ---- Parlo from the speech icon ----------------------------------------------------------------
parlo_pids() {
  local p
  for p in $(pgrep -f 'Orvane\\Parlo\.exe' || true); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$PREFIX" && echo "$p"
  done
}
parlo_runs() { [ -n "$(parlo_pids)" ]; }
click "$w1" 31 24
wait_for 60 parlo_runs || fail "the speech icon started no Parlo.exe"
ps -o args= -p "$(parlo_pids | head -n 1)" | grep -qF 'C:\Program Files\Orvane\Parlo.exe' ||
  fail "Parlo runs from elsewhere: $(ps -o args= -p "$(parlo_pids | head -n 1)")"
sleep 2
click "$w1" 31 24
parlo_gone() { ! parlo_runs; }
wait_for 60 parlo_gone || fail "a second click on the speech icon did not end Parlo.exe"
step "speech icon: Parlo.exe started from C:\\Program Files\\Orvane, ended by a second click"

# ---- the serial code on a pseudo-terminal shown as COM5 -----------------------------------------
since=$(requests | wc -l)
"$root/lab/orvane-lab" adapter 1 plug
echoed() { grep -q 'Echo re' "$LAB/logs/client-1.log"; }
wait_for 30 echoed || fail "no echo came back through COM5"
red_fetched() { new_requests | grep -q '^GET /usb//usb_red\.png 200$'; }
wait_for 10 red_fetched || fail "the link picture was not fetched after the echo"
red_link() { shot "$w1" "$work/link.png" && [ "$(checks count "$work/link.png" 314 500 346 532 000000 C0C0C0 D3D3D3 00C000 C86432 --tolerance 60)" -gt 50 ]; }
wait_for 10 red_link || fail "the link picture is not red"
"$root/lab/orvane-lab" adapter 1 unplug
step "serial: COM5 (a pseudo-terminal) opened, set, written and read; the probe echoed and the link picture is red"

# ---- a silent install is refused while Orvane runs --------------------------------------------
refused=0
wine_in_prefix "$setup" /S >"$work/refused.log" 2>&1 || refused=$?
[ "$refused" = 2 ] || fail "a silent install while Orvane runs ended with $refused, not 2"
cmp -s "$INSTALLED/orvane.exe" "$win/run/orvane.exe" || fail "the refused install changed orvane.exe"
step "a silent install while Orvane runs is refused (exit code 2)"

# ---- WinHTTP connections -------------------------------------------------------------------------
# The Windows client's connections: those that carried a request only it makes (its account,
# the Linux client's card, member pictures, the colour, the red link picture).
wine_requests=$(requests | awk -v id="I=$machine" -v a="/users/$account/" -v b="/users/$account2/" '
  { n[$2]++ }
  index($4, id) || index($4, a) || index($4, b) || index($4, "images.php?F=") || index($4, "usb_red") { mine[$2] = 1 }
  END { for (p in mine) { c++; r += n[p] } printf "%d requests of the Windows client over %d TCP connections (%.1f per connection)", r, c, r / c }')
step "request log: $wine_requests"

# ---- the lab ends; uninstall, then an install over an earlier version --------------------------
kill -TERM "$lab_pid" 2>/dev/null || true
wait "$lab_pid" 2>/dev/null || true
lab_pid=""
WINEPREFIX="$PREFIX" "$WINESERVER" -k 2>/dev/null || true
WINEPREFIX="$PREFIX" "$WINESERVER" -w 2>/dev/null || true

# uninstall — the quiet uninstall string, then nothing of Orvane's is left in the prefix.
uninstall() {
  wine_in_prefix 'C:\Program Files\Orvane\uninstall.exe' /S >"$work/uninstall.log" 2>&1 || fail "the silent uninstall failed"
  WINEPREFIX="$PREFIX" "$WINESERVER" -w  # the uninstaller runs on from a copy of itself
  [ ! -e "$INSTALLED" ] || fail "the uninstall left $(ls -A "$INSTALLED" | tr '\n' ' ') in Program Files\\Orvane"
  local left
  left=$(find "$PREFIX/drive_c" \( -iname '*orvane*' -o -iname 'parlo*' \) -not -path '*/AppData/Local/Temp/*' -print)
  [ -z "$left" ] || fail "the uninstall left $left"
  ! grep -qi 'orvane' "$PREFIX"/system.reg "$PREFIX"/user.reg "$PREFIX"/userdef.reg ||
    fail "the uninstall left registry entries: $(grep -i orvane "$PREFIX"/*.reg | head -n 5)"
}
uninstall
step "silent uninstall: no file, shortcut or registry entry of Orvane's is left"

# An earlier version with a file of its own, then this one over it.
sed -e 's|^!macro ORVANE_FILES_INSTALL$|&\n  File "'"$work"'/ancien.txt"|' \
    -e 's|^!macro ORVANE_FILES_REMOVE$|&\n  Delete "$INSTDIR\\ancien.txt"|' "$win/installer/windows/files.nsh" >"$work/old-files.nsh"
echo "fichier d'une version précédente" >"$work/ancien.txt"
makensis -V1 -NOCD -INPUTCHARSET UTF8 -DVERSION=0.0.1 -DFILES="$work/old-files.nsh" -DICON="$root/platform/win32/orvane.ico" \
  -DOUT_FILE="$work/OrvaneSetup-0.0.1.exe" "$root/installer/windows/orvane.nsi" >"$work/makensis.log" 2>&1 ||
  fail "cannot make the earlier version's installer"
wine_in_prefix "$work/OrvaneSetup-0.0.1.exe" /S >"$work/install-old.log" 2>&1 || fail "the earlier version did not install"
[ -f "$INSTALLED/ancien.txt" ] || fail "the earlier version did not install its own file"
wine_in_prefix "$setup" /S >"$work/install-new.log" 2>&1 || fail "$(basename "$setup") /S over the earlier version failed"
wine_in_prefix reg query "$UNINSTALL_KEY" >"$work/uninstall-key.txt" 2>&1 || fail "no entry in the list of programs after the update"
[ "$(value DisplayVersion)" = "$version" ] || fail "after the update DisplayVersion is '$(value DisplayVersion)'"
[ ! -e "$INSTALLED/ancien.txt" ] || fail "the update left the earlier version's own file"
[ "$(ls "$INSTALLED" | sort)" = "$(printf '%s\nuninstall.exe\n' "$expected" | sort)" ] || fail "after the update the files differ"
cmp -s "$INSTALLED/orvane.exe" "$win/run/orvane.exe" || fail "the update did not put this orvane.exe"
step "install over version 0.0.1: replaced in place, its own file removed, listed as $version"

# ---- WinHTTP's session, against servers of the test's own ----------------------------------------
bash "$root/servers/web/make-test-ca.sh" "$work/other-ca" "Orvane Unknown CA" >/dev/null
"$RUN/orvane-web-server" --port 44301 --cert "$LAB/web/ca/server.pem" --key "$LAB/web/ca/server.key" \
  --db "$work/session.db" --idle-timeout 1 --log-requests yes >"$work/session-server.out" 2>"$work/session-requests.log" &
PIDS+=($!)
"$RUN/orvane-web-server" --port 44302 --cert "$work/other-ca/server.pem" --key "$work/other-ca/server.key" \
  --db "$work/other.db" >"$work/untrusted-server.log" 2>&1 &
PIDS+=($!)
python3 "$root/tests/wine/closing_server.py" 44303 "$LAB/web/ca/server.pem" "$LAB/web/ca/server.key" \
  "$work/closing-requests.log" >"$work/closing-server.log" 2>&1 &
PIDS+=($!)
wait_for 10 grep -q 'listening on port 44301' "$work/session-server.out" || fail "the session test's server did not start"
wait_for 10 grep -q 'listening on port 44303' "$work/closing-server.log" || fail "the closing server did not start"
wait_for 10 grep -q 'listening on port 44302' "$work/untrusted-server.log" || fail "the untrusted server did not start"
env ORVANE_WINE_WEB_PORT=44301 ORVANE_WINE_WEB_LOG="Z:$work/session-requests.log" ORVANE_WINE_UNTRUSTED_PORT=44302 \
  ORVANE_WINE_CLOSING_PORT=44303 ORVANE_WINE_CLOSING_LOG="Z:$work/closing-requests.log" \
  WINEPREFIX="$PREFIX" WINEDEBUG=-all "$WINE" "$win/tests/wine/winhttp_session_test.exe" --gtest_brief=1 \
  >"$work/winhttp-session.log" 2>&1 || { cat "$work/winhttp-session.log" >&2; fail "winhttp_session_test"; }
step "WinHTTP session: $(grep -o '[0-9]* tests\? from' "$work/winhttp-session.log" | head -n 1 | cut -d' ' -f1) tests passed"

uninstall
echo "wine-installed: passed in $(( $(date +%s) - start )) s"
