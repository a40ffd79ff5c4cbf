#!/usr/bin/env bash
# The include arrows between the folders of src/: prints every folder's arrows ("view -> wave")
# and fails
#  - when a core subsystem reaches into platform/ or shell/, or a file outside platform/
#    includes a Qt header (only the shell and main.cpp "." wire platform and core together);
#  - when a folder includes from a folder whose library its own library does not link, directly
#    or through the libraries it links: the link lines in CMakeLists.txt must carry every arrow.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root/src"

arrows=$(git ls-files '*.cpp' '*.h' | while read -r file; do
  sed -n 's|^#include "\(.*\)/[^/]*".*|\1|p' "$file" | sed "s|^|$(dirname "$file") -> |"
done | sort -u)
echo "$arrows"

status=0
core='^(wave|decode|modulator|export|search|view|app|convert|text|image)(/[^ ]*)? -> (platform|shell)'
if grep -E "$core" <<<"$arrows" >&2; then
  echo "check-layers: core subsystems include platform/ or shell/ (above)" >&2
  status=1
fi
if git ls-files '*.cpp' '*.h' | grep -v '^platform/' | xargs grep -l '^#include <Q' >&2; then
  echo "check-layers: Qt headers outside platform/ (above)" >&2
  status=1
fi

# The libraries, their folders and the libraries they link, as CMakeLists.txt declares them
# ("ticktrace_library(NAME src/DIR DEPENDENCIES...)", possibly over several lines); the two
# programs' folders link the library their executable links.
libraries=$(tr '\n' ' ' <"$root/CMakeLists.txt" | grep -o 'ticktrace_library([^)]*)' \
  | sed 's/ticktrace_library(//; s/)//' | tr -s ' ')
unlinked=$(awk -v libs="$libraries" '
  BEGIN {
    n = split(libs, words, " ")
    # Re-split per library: each entry starts with a tt_ name followed by a src/ folder.
    count = 0
    for (i = 1; i <= n; i++) {
      if (words[i] ~ /^tt_/ && words[i + 1] ~ /^src\//) {
        lib = words[i]; dir = substr(words[i + 1], 5); folder[lib] = dir; libOf[dir] = lib
        count++; order[count] = lib; i++
        continue
      }
      if (words[i] ~ /^tt_/) deps[lib] = deps[lib] " " words[i]
    }
    libOf["."] = "tt_shell"; libOf["convert"] = "tt_convert"
  }
  function owner(dir,   d) {
    for (d = dir; d != "" && d != "."; ) {
      if (d in libOf) return libOf[d]
      if (index(d, "/") == 0) break
      sub(/\/[^\/]*$/, "", d)
    }
    return (dir in libOf) ? libOf[dir] : ""
  }
  function reaches(from, to,   list, k, m) {
    if (from == to) return 1
    m = split(deps[from], list, " ")
    for (k = 1; k <= m; k++) if (reaches(list[k], to)) return 1
    return 0
  }
  {
    from = owner($1); to = owner($3)
    if (from == "" || to == "") next
    if (!reaches(from, to)) print $1 " -> " $3 " (" from " does not link " to ")"
  }' <<<"$arrows")
if [ -n "$unlinked" ]; then
  echo "$unlinked" >&2
  echo "check-layers: includes from libraries that are not linked (above)" >&2
  status=1
fi
exit $status
