#!/usr/bin/env bash
# Installs what is missing, builds clasupd and runs it on the bundled sample
# data in this terminal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
"$root/build/app/clasupd" "$@"
