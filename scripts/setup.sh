#!/usr/bin/env bash
# Installs the Debian packages Turfwar needs to build, run and test. Idempotent:
# apt-get runs only when something is missing, through sudo when we are not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libode-dev libgl1-mesa-dev libglu1-mesa-dev libegl-mesa0 libgl1-mesa-dri
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libpng-dev
  assimp-testmodels libassimp-dev imagemagick libstb-dev
  clang libclang-rt-14-dev valgrind
  # SDL draws its X11 message boxes (the start question) with X core fonts;
  # without them the box cannot open. Xvfb and xdotool let a test answer it.
  xfonts-base xvfb xdotool
  # A window manager for the full-screen test: desktop full screen is a
  # request to one.
  openbox
  # Sound, settings, and installing like a distribution game.
  libopenal-dev libsndfile1-dev libtomlplusplus-dev
  help2man lintian desktop-file-utils appstream dpkg-dev fakeroot file
  # Text over the views: FreeType, and the font the game data takes.
  libfreetype-dev fonts-dejavu-core
  # Network play, and checking the dedicated server's unit.
  libenet-dev systemd
  # Building again only what changed (scripts/test.sh).
  ccache
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
