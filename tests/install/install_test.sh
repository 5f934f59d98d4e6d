#!/usr/bin/env bash
# The installed game as a player gets it, without touching the system: an
# install into a scratch DESTDIR, and the .deb that CPack makes.
#   install_test.sh install BUILD_DIR   install, then run the installed programs
#                                       from elsewhere: data found with nothing
#                                       set, or the box and status 3
#   install_test.sh files BUILD_DIR     desktop entry, metainfo and icons pass their checkers
#   install_test.sh deb BUILD_DIR       package, inspect, unpack and run it; lintian
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
scratch=$(mktemp -d /tmp/turfwar-install-test-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# No display: a box goes to standard error instead of waiting for a click.
unset DISPLAY WAYLAND_DISPLAY
export SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1
# A system-wide install of the game must not stand in for the one under test.
export XDG_DATA_DIRS=/nonexistent
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || { echo "SKIP: $1 is not installed (scripts/setup.sh installs it)"; exit 77; }; }

# A short game that must start cleanly and print two sane states.
check_play() {  # REPLAY [ARGS...]
  local out err
  out=$(printf 'run 2\npress W\nrun 10\nstate\nrun 1\nstate\n' | "$@" - 2>"$scratch/err") ||
    fail "$* exited with $?: $(cat "$scratch/err")"
  [ "$(grep -c '^{"camera"' <<<"$out")" = 2 ] || fail "$*: expected two states, got: $out"
  grep -q '"frame":12' <<<"$out" || fail "$*: the game did not run its frames: $out"
  grep -qi 'nan\|inf' <<<"$out" && fail "$*: state holds NaN or infinity: $out"
  # Only the start question: any other box means the data was not all there.
  [ "$(grep -vc '^Start FullScreen?' "$scratch/err")" = 0 ] || fail "$*: the game complained: $(cat "$scratch/err")"
}

# PNG signature, then the IHDR width and height (big-endian, bytes 16 to 23).
png_size() {
  [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" = 89504e470d0a1a0a ] || { echo "not a PNG"; return; }
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

case $mode in
install)
  DESTDIR="$scratch/root" cmake --install "$build" --prefix /opt/turfwar >/dev/null
  bin="$scratch/root/opt/turfwar/bin"
  mkdir "$scratch/elsewhere" && cd "$scratch/elsewhere"
  # Beside itself: the installed data, found from the executable's place.
  check_play "$bin/turfwar-replay"
  # Through XDG_DATA_DIRS, from a copy with nothing beside it.
  mkdir "$scratch/lone" && cp "$bin/turfwar-replay" "$bin/turfwar" "$scratch/lone/"
  XDG_DATA_DIRS="/nonexistent:relative/share:$scratch/root/opt/turfwar/share" check_play "$scratch/lone/turfwar-replay"
  # Nowhere: the box, listing every place looked, and status 3.
  for program in turfwar-replay turfwar; do
    status=0
    script=()
    [ "$program" = turfwar-replay ] && script=(-)
    echo "run 1" | "$scratch/lone/$program" "${script[@]}" >/dev/null 2>"$scratch/err" || status=$?
    [ "$status" = 3 ] || fail "$program without data: status $status, expected 3: $(cat "$scratch/err")"
    for place in "$scratch/elsewhere" "$scratch/share/turfwar" "$scratch/lone/game" /nonexistent/turfwar; do
      grep -qF "$place" "$scratch/err" || fail "$program without data: the box does not name $place: $(cat "$scratch/err")"
    done
    grep -q "Cannot find the game's data" "$scratch/err" || fail "$program without data: no box: $(cat "$scratch/err")"
  done
  # The server's unit names the installed server, which finds the installed data.
  unit="$scratch/root/opt/turfwar/lib/systemd/system/turfwar-server.service"
  grep -qx 'ExecStart=/opt/turfwar/bin/turfwar-server --port 27615' "$unit" || fail "the unit's ExecStart: $(grep ExecStart "$unit")"
  "$bin/turfwar-server" --port 0 --bind 127.0.0.1 >"$scratch/server.out" 2>&1 &
  server=$!
  for _ in $(seq 50); do grep -q 'listening on UDP port' "$scratch/server.out" && break; sleep 0.1; done
  kill -TERM "$server"
  wait "$server" || fail "the installed server did not end cleanly: $(cat "$scratch/server.out")"
  grep -q 'listening on UDP port' "$scratch/server.out" || fail "the installed server did not listen: $(cat "$scratch/server.out")"
  # The current directory still counts when it holds the data (scripts/play.sh starts the game there).
  cd "$scratch/root/opt/turfwar/share/turfwar" && check_play "$scratch/lone/turfwar-replay"
  cd "$scratch/elsewhere"
  data="$scratch/root/opt/turfwar/share/turfwar"
  [ ! -e "$data/.gitkeep" ] || fail "the source folder's .gitkeep is installed into the data"
  cmp -s "$data/font/DejaVuSans.ttf" "$build/game/font/DejaVuSans.ttf" || fail "the font is not installed with the data"
  # A partial folder early in XDG_DATA_DIRS does not hide the whole one after it.
  mkdir -p "$scratch/partial/turfwar" && cp "$data/car.txt" "$data/car.3ds" "$scratch/partial/turfwar/"
  XDG_DATA_DIRS="$scratch/partial:$scratch/root/opt/turfwar/share" check_play "$scratch/lone/turfwar-replay"
  # The installed datagen takes the installed car file, with the build tree out of
  # reach: nothing from it on the command line, none of its paths in the help.
  "$bin/turfwar-datagen" --help >"$scratch/help" || fail "turfwar-datagen --help"
  grep -qF "$build" "$scratch/help" && fail "turfwar-datagen --help names the build tree: $(cat "$scratch/help")"
  "$bin/turfwar-datagen" --quiet "$scratch/made" 2>"$scratch/err" || fail "installed turfwar-datagen: $(cat "$scratch/err")"
  cmp -s "$scratch/made/car.txt" "$data/car.txt" || fail "turfwar-datagen did not take the installed car file"
  cmp -s "$scratch/made/car.3ds" "$data/car.3ds" || fail "turfwar-datagen made another car than the installed one"
  cp "$bin/turfwar-datagen" "$scratch/lone/" && status=0
  "$scratch/lone/turfwar-datagen" "$scratch/none" 2>"$scratch/err" || status=$?
  [ "$status" = 1 ] || fail "turfwar-datagen without data: status $status, expected 1"
  grep -q -- "--car" "$scratch/err" || fail "turfwar-datagen without data does not point at --car: $(cat "$scratch/err")"
  # A desktop starts Exec without the user's PATH: outside the standard folders, the absolute path.
  grep -qxF "Exec=/opt/turfwar/bin/turfwar" "$scratch/root/opt/turfwar/share/applications/turfwar.desktop" ||
    fail "desktop entry: $(grep Exec "$scratch/root/opt/turfwar/share/applications/turfwar.desktop")"
  ;;
files)
  need desktop-file-validate; need appstreamcli
  DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null
  share="$scratch/root/usr/share"
  desktop-file-validate "$share/applications/turfwar.desktop" || fail "desktop-file-validate"
  grep -qxF "Exec=turfwar" "$share/applications/turfwar.desktop" || fail "a /usr install's desktop entry runs turfwar by name"
  # The actions start the same program as the entry, with their options.
  for action in "Match:turfwar --match" "TwoPlayers:turfwar --match --players 2"; do
    name=${action%%:*} exec=${action#*:}
    sed -n "/^\[Desktop Action $name\]/,/^\[/p" "$share/applications/turfwar.desktop" | grep -qxF "Exec=$exec" ||
      fail "desktop action $name does not run $exec"
  done
  grep -qxF "Actions=Match;TwoPlayers;" "$share/applications/turfwar.desktop" || fail "the desktop entry lists no actions"
  # A prefix with a space and a quote: the entry still validates and names the program.
  odd="$scratch/my \"games\""
  DESTDIR="$scratch/odd" cmake --install "$build" --prefix "$odd" >/dev/null
  entry="$scratch/odd$odd/share/applications/turfwar.desktop"
  desktop-file-validate "$entry" || fail "desktop-file-validate, prefix with a space and a quote"
  grep -qF 'Exec="' "$entry" || fail "the Exec line of an odd prefix is not quoted: $(grep Exec "$entry")"
  [ "$(grep -c '^Exec="' "$entry")" = 3 ] || fail "the actions of an odd prefix are not quoted like the entry: $(grep Exec "$entry")"
  metainfo=$(ls "$share"/metainfo/*.metainfo.xml)
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
  grep -q '<launchable type="desktop-id">turfwar.desktop</launchable>' "$metainfo" || fail "metainfo does not launch turfwar.desktop"
  for size in 48 64 128 256; do
    icon="$share/icons/hicolor/${size}x${size}/apps/turfwar.png"
    [ -f "$icon" ] || fail "no icon $icon"
    [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon"), not ${size}x${size}"
  done
  for page in turfwar-replay.1 turfwar-datagen.1 turfwar-inspect.1 turfwar-soakgen.1; do
    zcat "$share/man/man1/$page.gz" | grep -q '^\.SH NAME' || fail "no man page $page"
  done
  zcat "$share/man/man6/turfwar-server.6.gz" | grep -q '^\.SH NAME' || fail "no man page turfwar-server.6"
  ;;
deb)
  need dpkg-deb; need dpkg-shlibdeps; need lintian
  (cd "$build" && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack"; }
  deb="$scratch/package/turfwar_${version}_$(dpkg --print-architecture).deb"
  [ -f "$deb" ] || fail "no $deb: $(ls "$scratch/package")"
  info=$(dpkg-deb --info "$deb")
  depends=$(sed -n 's/^ Depends: //p' <<<"$info")
  for lib in libsdl2 libode libopengl0 libglu1 fonts-dejavu-core; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
  done
  grep -q '^ Section: games$' <<<"$info" || fail "section is not games: $info"
  contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }')
  for file in ./usr/games/turfwar ./usr/games/turfwar-replay ./usr/share/games/turfwar/car.txt \
      ./usr/share/games/turfwar/car.3ds ./usr/share/games/turfwar/data/model.ms3d \
      ./usr/share/applications/turfwar.desktop ./usr/share/icons/hicolor/48x48/apps/turfwar.png \
      ./usr/share/icons/hicolor/256x256/apps/turfwar.png ./usr/share/man/man1/turfwar-replay.1.gz \
      ./usr/share/doc/turfwar/copyright; do
    grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
  done
  grep -q '^\./usr/share/metainfo/.*\.metainfo\.xml$' <<<"$contents" || fail "the package lacks the metainfo"
  grep -qxF ./usr/share/man/man6/turfwar.6.gz <<<"$contents" || fail "the package lacks turfwar(6)"
  for file in ./usr/games/turfwar-server ./usr/lib/systemd/system/turfwar-server.service; do
    grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
  done
  # The font is fonts-dejavu-core's, linked by a path relative to the data folder.
  font_link=$(dpkg-deb --contents "$deb" | awk '$6 == "./usr/share/games/turfwar/font/DejaVuSans.ttf" { print $8 }')
  [ "$font_link" = ../../../fonts/truetype/dejavu/DejaVuSans.ttf ] ||
    fail "the package's font is not a link to fonts-dejavu-core's: '$font_link'"
  dpkg-deb -x "$deb" "$scratch/unpacked"
  # The dependency as installed beside it, so the link resolves in the unpacked tree too.
  mkdir -p "$scratch/unpacked/usr/share/fonts/truetype/dejavu"
  ln -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$scratch/unpacked/usr/share/fonts/truetype/dejavu/"
  [ -f "$scratch/unpacked/usr/share/games/turfwar/font/DejaVuSans.ttf" ] || fail "the package's font link does not resolve"
  mkdir "$scratch/elsewhere" && cd "$scratch/elsewhere"
  check_play "$scratch/unpacked/usr/games/turfwar-replay" --data "$scratch/unpacked/usr/share/games/turfwar"
  # And with nothing named: the data beside the program, in Debian's games layout.
  check_play "$scratch/unpacked/usr/games/turfwar-replay"
  grep -qx 'ExecStart=/usr/games/turfwar-server --port 27615' "$scratch/unpacked/usr/lib/systemd/system/turfwar-server.service" ||
    fail "the package's unit does not start /usr/games/turfwar-server"
  lintian "$deb" >"$scratch/lintian.log" 2>&1 || true
  grep -v 'running with root privileges' "$scratch/lintian.log" || true
  for tag in hardening-no-bindnow hardening-no-fortify-functions hardening-no-relro; do
    grep -q "$tag" "$scratch/lintian.log" && fail "lintian: $tag"
  done
  if grep -q '^E: ' "$scratch/lintian.log"; then
    fail "lintian reports errors"
  fi
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
echo "ok: $mode"
