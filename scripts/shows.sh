# shows PATTERN COMMAND [ARG]...: whether COMMAND's output holds a line matching the extended
# regular expression PATTERN. The output is read whole before it is searched: grep -q stops at
# the first match, and a command still writing would then end on a broken pipe, which pipefail
# takes for a failure.
shows() { local out; out=$("${@:2}"); grep -Eq -- "$1" <<< "$out"; }
