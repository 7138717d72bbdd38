#!/usr/bin/env bash
# Installs what is missing, builds clasupd, writes the sample data into a
# scratch folder and runs clasupd there in this terminal, with the Windows
# folder (where KORVO.INI names the product folder) pointed at the sample.
#   scripts/run-sample.sh [tariff file]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
scratch=$(mktemp -d "${TMPDIR:-/tmp}/clasupd-sample.XXXXXX")
"$root/build/app/clasupd-mksample" "$scratch"
cd "$scratch"
status=0
WINDIR="$scratch/WINDOWS" "$root/build/app/clasupd" "$@" || status=$?
echo
echo "clasupd ended with exit code $status; the tables are in $scratch/VELTAR"
echo "(backup in $scratch/VELTAR/BK, activity log $scratch/ERRO.LOG when anything failed)"
exit $status
