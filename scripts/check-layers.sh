#!/usr/bin/env bash
# The include arrows between the folders of src/: prints every folder's arrows ("view -> wave")
# and fails when a core subsystem reaches into platform/ or shell/, or a file outside platform/
# includes a Qt header. Only the shell and main.cpp (".") wire platform and core together.
set -euo pipefail
cd "$(dirname "$0")/../src"

arrows=$(git ls-files '*.cpp' '*.h' | while read -r file; do
  sed -n 's|^#include "\(.*\)/[^/]*".*|\1|p' "$file" | sed "s|^|$(dirname "$file") -> |"
done | sort -u)
echo "$arrows"

status=0
core='^(wave|decode|modulator|export|search|view|convert|text|image)(/[^ ]*)? -> (platform|shell)'
if grep -E "$core" <<<"$arrows" >&2; then
  echo "check-layers: core subsystems include platform/ or shell/ (above)" >&2
  status=1
fi
if git ls-files '*.cpp' '*.h' | grep -v '^platform/' | xargs grep -l '^#include <Q' >&2; then
  echo "check-layers: Qt headers outside platform/ (above)" >&2
  status=1
fi
exit $status
