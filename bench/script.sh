#!/usr/bin/env bash
# Times style sheet scripts: one script call per point (JScript, and VBScript) against the same
# formatting in plain XSLT, and the ten-point run of a sheet with and without a script block.
set -euo pipefail

usage() {
    cat <<'EOF_USAGE'
Usage: bench/script.sh [-n RUNS] [TABULON]

  TABULON           the built tabulon executable (default: build/tabulon in the repository)
  -n, --runs RUNS   runs of each sheet on each source; the median is reported (default 3)
  -h, --help        show this text

Sources are generated into bench/out/ as bench/run.sh does.
EOF_USAGE
}

runs=3
tabulon=""
while [ $# -gt 0 ]; do
    case "$1" in
        -n|--runs) runs="${2:?}"; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        -*) usage >&2; exit 2 ;;
        *) tabulon="$1"; shift ;;
    esac
done
case "$runs" in ''|*[!0-9]*|0) echo "runs must be a positive number" >&2; exit 2 ;; esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tabulon="${tabulon:-$root/build/tabulon}"
[ -x "$tabulon" ] || { echo "no tabulon executable at $tabulon" >&2; exit 2; }
out="$root/bench/out"
generator="$root/bench/make_source.py"
mkdir -p "$out"
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"

generate_source "$out/large.smx" 400000
generate_source "$out/ten.smx" 10

# name:source:sheet
jobs=(
    "plain:large:$root/bench/points-plain.xsl"
    "script:large:$root/bench/points-script.xsl"
    "vbscript:large:$root/bench/points-vbscript.xsl"
    "noscript10:ten:$root/examples/points-csv.xsl"
    "script10:ten:$root/bench/points-script.xsl"
)

echo "load average before timing: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processor(s)"
for job in "${jobs[@]}"; do
    rm -f "$out/script-bench.${job%%:*}".*
done
for ((i = 1; i <= runs; i++)); do
    for job in "${jobs[@]}"; do
        IFS=: read -r name source sheet <<<"$job"
        measure env -u DISPLAY -u WAYLAND_DISPLAY "$tabulon" "$out/$source.smx" "$sheet" \
            "$out/script-bench.$name.csv" >>"$out/script-bench.$name.times"
    done
done

status=0
for scripted in script vbscript; do
    if cmp -s "$out/script-bench.plain.csv" "$out/script-bench.$scripted.csv"; then
        echo "  outputs of the plain and the $scripted sheet are equal"
    else
        echo "  OUTPUTS DIFFER: diff $out/script-bench.plain.csv $out/script-bench.$scripted.csv" >&2
        status=1
    fi
done

declare -A wall cpu clock
echo
printf '%-11s %8s %10s %7s\n' run "wall s" "clock ms" "cpu s"
for job in "${jobs[@]}"; do
    name="${job%%:*}"
    times="$out/script-bench.$name.times"
    wall[$name]="$(cut -d' ' -f1 "$times" | median)"
    cpu[$name]="$(cut -d' ' -f3 "$times" | median)"
    clock[$name]="$(cut -d' ' -f4 "$times" | median)"
    printf '%-11s %8s %10s %7s\n' "$name" "${wall[$name]}" "${clock[$name]}" "${cpu[$name]}"
done
echo "Medians of $runs run(s); see bench/README.md for the columns."
echo "Load average when done: $(cut -d' ' -f1-3 /proc/loadavg)."

echo
check() {
    if within "$2" "$3"; then echo "  met     $1: $2 <= $3"; else echo "  MISSED  $1: $2 > $3"; fi
}
echo "targets:"
check "script / plain, large, cpu" "$(ratio "${cpu[script]}" "${cpu[plain]}")" 2
check "script / plain, large, wall" "$(ratio "${wall[script]}" "${wall[plain]}")" 2
check "vbscript / plain, large, cpu" "$(ratio "${cpu[vbscript]}" "${cpu[plain]}")" 2
check "vbscript / plain, large, wall" "$(ratio "${wall[vbscript]}" "${wall[plain]}")" 2
check "ten points without scripts, clock ms" "${clock[noscript10]}" 100
exit "$status"
