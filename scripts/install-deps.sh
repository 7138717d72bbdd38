#!/usr/bin/env bash
# Installs the Debian packages the project needs, and nothing else: every
# package named in scripts/deps.d/*.txt that is not installed yet. Safe to
# run again and again.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

wanted=()
for f in "$here"/deps.d/*.txt; do
  while read -r line; do
    pkg=${line%%#*}
    pkg=$(echo "$pkg" | xargs)
    [ -n "$pkg" ] && wanted+=("$pkg")
  done <"$f"
done

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}"; then
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
