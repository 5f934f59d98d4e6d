#!/usr/bin/env bash
# turfwar-server links the network library and what it needs: no OpenGL, no
# SDL (video or at all), no OpenAL.
# Usage: server_links_test.sh SERVER
set -euo pipefail
server=$1
libraries=$(ldd "$server")
echo "$libraries"
if grep -E 'lib(GL|GLU|GLX|OpenGL|EGL|SDL2|openal|sndfile|freetype)[.-]' <<<"$libraries"; then
  echo "turfwar-server links a library of the picture or the sound"
  exit 1
fi
grep -q 'libenet' <<<"$libraries" || { echo "turfwar-server does not link ENet"; exit 1; }
