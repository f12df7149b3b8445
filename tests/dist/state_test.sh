#!/usr/bin/env bash
# The engine's libraries keep no writable state of their own: every symbol in
# a writable data section (.data, .bss, thread-local) is one of the values
# fixed once at start-up listed here. Everything a run changes lives in the
# run's context.
# state_test.sh LIBRARY...
set -u
allowed=(
  'trosk::newfilemode(bool)::mask'                     # the process's umask, read once
  'guard variable for trosk::newfilemode(bool)::mask'
  'trosk::widestpath()::widest'                        # the processor's vector width
  'guard variable for trosk::widestpath()::widest'
  'DW.ref.__gxx_personality_v0'                        # the compiler's exception support
)
failures=0
for lib; do
  while IFS= read -r symbol; do
    found=0
    for a in "${allowed[@]}"; do [ "$symbol" = "$a" ] && found=1; done
    if [ $found = 0 ]; then
      echo "FAIL: $(basename "$lib") holds writable state: $symbol" >&2
      failures=$((failures + 1))
    fi
  done < <(objdump -t "$lib" |
           awk '{for (i = 1; i <= NF; i++) if ($i ~ /^\.(data|bss|tbss|tdata)/ && $i !~ /^\.data\.rel\.ro/ && $NF !~ /^\./) print $NF}' |
           c++filt | sort -u)
done
[ $failures = 0 ] && echo "all checks passed"
exit $((failures > 0))
