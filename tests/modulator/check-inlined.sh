#!/usr/bin/env bash
# Fails when a shipped program calls the pin model's per-frame members or a quality measure's
# per-frame add out of line: a call there passes the level through memory on every frame, and
# the benchmarks, which inline them, would measure code that does not ship.
# Usage: check-inlined.sh PROGRAM...
set -euo pipefail
status=0
for program in "$@"; do
  calls=$(objdump -d --no-show-raw-insn "$program" | c++filt \
    | grep -E 'call.*<tt::(PinModel::(step|drive|levelAfter|successors|targetOf)|(SegmentalSnr|AudibleSnr)::add)' \
    || true)
  if [ -n "$calls" ]; then
    echo "$program calls per-frame members out of line:" >&2
    echo "$calls" | head -5 >&2
    status=1
  fi
done
exit $status
