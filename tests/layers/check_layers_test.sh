#!/usr/bin/env bash
# scripts/check-layers passes on this tree and fails, naming file and line, on a copy of it with
# an include that runs upward.
set -euo pipefail
source_root="$1"
"$source_root/scripts/check-layers" "$source_root"

copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$source_root/src" "$copy/src"
lines=$(wc -l <"$copy/src/link/frame.h")
echo '#include "scan/scan_tick.h"' >>"$copy/src/link/frame.h"
if output=$("$source_root/scripts/check-layers" "$copy"); then
  echo "an upward include passed"
  exit 1
fi
expected="src/link/frame.h:$((lines + 1)): link includes scan, a layer above it"
if [ "$output" != "$expected" ]; then
  echo "expected: $expected"
  echo "got:      $output"
  exit 1
fi
