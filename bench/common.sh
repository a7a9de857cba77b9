# Helpers of the benchmark scripts; they expect $out (the output folder) and $generator to be set.

# Writes a generated source when it is missing or older than the generator.
generate_source() {
    local file="$1" points="$2"
    if [ ! -s "$file" ] || [ "$generator" -nt "$file" ]; then
        echo "generating $file ($points points)"
        python3 "$generator" --points "$points" "$file.part"
        mv "$file.part" "$file"
    fi
}

# Runs one command under /usr/bin/time and prints "wall_seconds peak_kib cpu_seconds clock_ms".
# The clock reading, taken around /usr/bin/time itself, is there because %e shows 0.00 for a small
# source; the processor time tells a slow program from a busy machine.
measure() {
    local log="$out/time.log" err="$out/stderr.log" start end
    start="$EPOCHREALTIME"
    if ! /usr/bin/time -f '%e %M %U %S' -o "$log" "$@" </dev/null >/dev/null 2>"$err"; then
        echo "failed: $*" >&2
        cat "$err" >&2
        exit 1
    fi
    end="$EPOCHREALTIME"
    tail -n 1 "$log" | awk -v a="$start" -v b="$end" '{ printf "%s %s %.2f %.1f\n", $1, $2, $3 + $4, (b - a) * 1000 }'
}

# For `measure bash -c "$repeat" repeat N COMMAND...`: N runs of the command in a row, stopping at
# the first failure.
# shellcheck disable=SC2016
repeat='n=$1; shift; for ((i = 0; i < n; i++)); do "$@" || exit; done'

median() {
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'
}

# Whether "$1 <= $2" holds numerically.
within() {
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'
}

