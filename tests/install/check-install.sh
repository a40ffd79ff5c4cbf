#!/usr/bin/env bash
# Installs the build in the folder given into a fresh prefix and checks what the desktop needs:
# the programs, a valid desktop entry whose Exec and Icon lead to installed files, and the icon.
set -euo pipefail

build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/ticktrace-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

entry=$prefix/share/applications/ticktrace.desktop
icon=$prefix/share/icons/hicolor/scalable/apps/ticktrace.svg
failed=0
for file in "$prefix/bin/ticktrace" "$prefix/bin/ticktrace-convert" "$entry" "$icon"; do
  if [ ! -f "$file" ]; then
    echo "not installed: ${file#"$prefix"/}"
    failed=1
  fi
done
[ -x "$prefix/bin/ticktrace" ] || { echo "bin/ticktrace is not executable"; failed=1; }
[ "$failed" -eq 0 ] || exit 1

if ! command -v desktop-file-validate >/dev/null; then
  echo "desktop-file-validate is missing (Debian: desktop-file-utils; scripts/bootstrap.sh installs it)"
  exit 1
fi
desktop-file-validate "$entry"

# The entry starts the installed program by name and names the installed icon.
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
icon_name=$(sed -n 's/^Icon=//p' "$entry")
[ -x "$prefix/bin/$exec_program" ] || { echo "Exec names $exec_program, not an installed program"; exit 1; }
[ "$icon_name.svg" = "$(basename "$icon")" ] || { echo "Icon names $icon_name, not the installed icon"; exit 1; }
grep -q '<svg' "$icon" || { echo "the icon is no SVG file"; exit 1; }
echo "installed and valid: bin/ticktrace, bin/ticktrace-convert, ${entry#"$prefix"/}, ${icon#"$prefix"/}"
