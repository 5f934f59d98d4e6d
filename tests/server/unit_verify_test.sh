#!/usr/bin/env bash
# The server's systemd unit (its template) passes systemd-analyze verify. The unit names the
# installed binary; a copy pointing at the build's is what is verified, as
# verify needs the ExecStart program to exist.
# Usage: unit_verify_test.sh UNIT SERVER
set -euo pipefail
unit=$1
server=$2
command -v systemd-analyze >/dev/null || { echo "no systemd-analyze: skipped"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
grep -q '^ExecStart=@TURFWAR_SERVER_PROGRAM@ ' "$unit" || { echo "ExecStart is not the installed server"; exit 1; }
sed "s|@TURFWAR_SERVER_PROGRAM@|$server|" "$unit" >"$scratch/turfwar-server.service"
# Hardening the unit must keep.
for line in DynamicUser=yes ProtectSystem=strict ProtectHome=yes PrivateTmp=yes NoNewPrivileges=yes; do
  grep -qx "$line" "$unit" || { echo "the unit lacks $line"; exit 1; }
done
output=$(SYSTEMD_LOG_LEVEL=warning systemd-analyze verify "$scratch/turfwar-server.service" 2>&1) || {
  echo "$output"
  exit 1
}
# verify warns without failing; a warning about this unit counts as a fault.
if grep -i 'turfwar-server' <<<"$output"; then
  exit 1
fi
echo "verified"
