#!/usr/bin/env bash
# Fails when a program calls one of the conversion pass's per-frame functions instead of having
# it inlined: the pin model's members (its step and update rule), the quality measures' add, the
# greedy modulator's take, the bit sinks' takeBit and the search's test for a tie. Each such
# call hands the pin's level through memory every frame and nearly doubles the cycles a greedy
# frame takes. The look-ahead's
# own members are left to the compiler: its search, inlined into the pass, runs slower than
# called once a frame.
#
# Reads the programs' disassembly (objdump -d --demangle) and lists every direct call or tail
# jump to such a function, with its caller. An out-of-line copy of one of them may exist (a test
# or a rarely used path may take one); the calls inside such copies are not counted. A program
# that holds no conversion pass (no StreamingConversion function: stripped, or the wrong file)
# fails too, as there would be nothing to check.
#
# Usage: scripts/check-per-frame-inlined.sh PROGRAM...
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: $0 PROGRAM..." >&2
  exit 2
fi

# The per-frame functions, as the demangled name of a call's target reads (a return type may
# stand in front, template arguments and a clone suffix behind the name).
perFrame='(^|[ ])tt::(PinModel::(step|drive|levelAfter|finiteLevelAfterWithoutJumps|unclampedLevelAfter|stepFor|successors|successorsWith|targetOf|targetOfOneOrTwoChannels|driveFor|clamped|outputBit|limits)|lookahead::LaneTypes<[0-9]+>::anySign|SegmentalSnr::add|AudibleSnr::add|GreedyModulator::take|[A-Za-z]+(Of<[^>]*>)?::takeBit)(<.*>)?\('

status=0
for program in "$@"; do
  if ! listing=$(objdump -d --demangle --no-show-raw-insn "$program"); then
    echo "check-per-frame-inlined: cannot disassemble $program" >&2
    status=1
    continue
  fi
  calls=$(PER_FRAME="$perFrame" awk '
    BEGIN { perFrame = ENVIRON["PER_FRAME"] }
    /^[0-9a-f]+ <.*>:$/ {
      caller = $0
      sub(/^[0-9a-f]+ </, "", caller)
      sub(/>:$/, "", caller)
      inside = caller ~ perFrame
      if (caller ~ /StreamingConversion/) pass = 1
      next
    }
    /\t(call|jmp) +[0-9a-f]+ <.*>$/ && !inside {
      target = $0
      sub(/^.*\t(call|jmp) +[0-9a-f]+ </, "", target)
      sub(/>$/, "", target)
      # A target with an offset is a jump inside a function, not a call of one.
      if (target !~ /\+0x[0-9a-f]+$/ && target ~ perFrame) print "  " target "  in  " substr(caller, 1, 120)
    }
    END { if (!pass) print "NO-PASS" }' <<<"$listing" | awk '!seen[$0]++')
  if [ "$calls" = "NO-PASS" ] || grep -q '^NO-PASS$' <<<"$calls"; then
    echo "check-per-frame-inlined: $program holds no conversion pass (stripped?)" >&2
    status=1
  elif [ -n "$calls" ]; then
    echo "check-per-frame-inlined: $program calls per-frame functions instead of inlining them:" >&2
    echo "$calls" >&2
    status=1
  else
    echo "check-per-frame-inlined: $program inlines every per-frame function"
  fi
done
exit $status
