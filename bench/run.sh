#!/usr/bin/env bash
# Times tabulon against xsltproc on the CSV point list, for a 50 MB, a 100 MB and a ten-point Surmex source.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: bench/run.sh [-n RUNS] [-s NAME]... [--reference-only] [--stripped] [TABULON]

  TABULON           the built tabulon executable (default: build/tabulon in the repository)
  -n, --runs RUNS   runs of each program on each source; the median is reported (default 3)
  -s, --source NAME time only that source (half, large or ten); may be repeated
  --reference-only  time xsltproc alone (no tabulon needed)
  --stripped        also time xsltproc on copies of the sources without indentation, the
                    whitespace-only text nodes that tabulon drops while loading
  -h, --help        show this text

Sources are generated into bench/out/ when missing or older than bench/make_source.py.
EOF
}

runs=3
reference_only=0
stripped=0
tabulon=""
only=()
while [ $# -gt 0 ]; do
    case "$1" in
        -n|--runs) runs="${2:?}"; shift 2 ;;
        -s|--source) only+=("${2:?}"); shift 2 ;;
        --reference-only) reference_only=1; shift ;;
        --stripped) stripped=1; shift ;;
        -h|--help) usage; exit 0 ;;
        -*) usage >&2; exit 2 ;;
        *) tabulon="$1"; shift ;;
    esac
done
case "$runs" in ''|*[!0-9]*|0) echo "runs must be a positive number" >&2; exit 2 ;; esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -n "$tabulon" ]; then
    tabulon="$(cd "$(dirname "$tabulon")" && pwd)/$(basename "$tabulon")"
else
    tabulon="$root/build/tabulon"
fi
if [ "$reference_only" = 0 ] && [ ! -x "$tabulon" ]; then
    echo "no tabulon executable at $tabulon (build it, or use --reference-only)" >&2
    exit 2
fi
for tool in xsltproc /usr/bin/time python3; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done

out="$root/bench/out"
sheet="$root/examples/points-csv.xsl"
generator="$root/bench/make_source.py"
mkdir -p "$out"
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"

# name:points
sources=(half:200000 large:400000 ten:10)
if [ ${#only[@]} -gt 0 ]; then
    chosen=()
    for entry in "${sources[@]}"; do
        for name in "${only[@]}"; do
            [ "${entry%%:*}" = "$name" ] && chosen+=("$entry")
        done
    done
    [ ${#chosen[@]} -gt 0 ] || { echo "no source named ${only[*]} (half, large, ten)" >&2; exit 2; }
    sources=("${chosen[@]}")
fi
# A ten-point run takes a few milliseconds and /usr/bin/time counts processor time in steps of
# 10 ms: each of its measurements is this many runs in a row, so that a step is 0.05 ms a run.
ten_batch=200
# No display: command-line mode as on a build server, with console messages. Unset here rather
# than with env in the loop, which would charge tabulon alone for starting one more program.
unset DISPLAY WAYLAND_DISPLAY

for entry in "${sources[@]}"; do
    name="${entry%%:*}"
    points="${entry##*:}"
    file="$out/$name.smx"
    generate_source "$file" "$points"
    # Every line of a generated source holds at most one element, so dropping the indentation
    # and the line ends removes exactly the whitespace-only text nodes.
    if [ "$stripped" = 1 ] && { [ ! -s "$out/$name.stripped.smx" ] || [ "$file" -nt "$out/$name.stripped.smx" ]; }; then
        sed -e 's/^[[:space:]]*//' "$file" | tr -d '\n' >"$out/$name.stripped.smx"
    fi
done

echo "load average before timing: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processor(s)"
declare -A wall peak cpu clock
status=0

for entry in "${sources[@]}"; do
    name="${entry%%:*}"
    points="${entry##*:}"
    src="$out/$name.smx"
    ref_out="$out/$name.xsltproc.csv"
    tab_out="$out/$name.tabulon.csv"
    stripped_out="$out/$name.stripped.csv"
    rm -f "$ref_out" "$tab_out" "$stripped_out" "$out/$name".*.times

    echo "timing $name.smx ($(du -h "$src" | cut -f1), $points points), $runs run(s) each"
    batch=1
    [ "$name" = ten ] && batch=$ten_batch
    for ((i = 1; i <= runs; i++)); do
        measure bash -c "$repeat" repeat "$batch" xsltproc -o "$ref_out" "$sheet" "$src" >>"$out/$name.xsltproc.times"
        if [ "$reference_only" = 0 ]; then
            measure bash -c "$repeat" repeat "$batch" "$tabulon" "$src" "$sheet" "$tab_out" >>"$out/$name.tabulon.times"
        fi
        if [ "$stripped" = 1 ]; then
            measure xsltproc -o "$stripped_out" "$sheet" "$out/$name.stripped.smx" >>"$out/$name.stripped.times"
        fi
    done

    for prog in xsltproc tabulon stripped; do
        times="$out/$name.$prog.times"
        [ -s "$times" ] || continue
        wall[$name.$prog]="$(cut -d' ' -f1 "$times" | median)"
        peak[$name.$prog]="$(cut -d' ' -f2 "$times" | median)"
        cpu[$name.$prog]="$(cut -d' ' -f3 "$times" | median)"
        clock[$name.$prog]="$(cut -d' ' -f4 "$times" | median)"
    done

    lines="$(wc -l <"$ref_out")"
    if [ "$lines" -ne $((points + 1)) ]; then
        echo "  xsltproc wrote $lines lines, expected $((points + 1))" >&2
        status=1
    fi
    if [ "$reference_only" = 0 ]; then
        if [ ! -f "$tab_out" ]; then
            echo "  tabulon wrote no $tab_out" >&2
            status=1
        elif cmp -s "$ref_out" "$tab_out"; then
            echo "  outputs equal ($lines lines)"
        else
            echo "  OUTPUTS DIFFER: diff $ref_out $tab_out" >&2
            status=1
        fi
    fi
    if [ "$stripped" = 1 ] && ! cmp -s "$ref_out" "$stripped_out"; then
        echo "  OUTPUT OF THE STRIPPED SOURCE DIFFERS: diff $ref_out $stripped_out" >&2
        status=1
    fi
done
rm -f "$out/time.log" "$out/stderr.log"

echo
printf '%-8s %-9s %8s %10s %7s %11s %9s\n' source program "wall s" "clock ms" "cpu s" "peak KiB" "peak MiB"
for entry in "${sources[@]}"; do
    name="${entry%%:*}"
    for prog in xsltproc stripped tabulon; do
        [ -n "${wall[$name.$prog]:-}" ] || continue
        printf '%-8s %-9s %8s %10s %7s %11s %9s\n' "$name" "$prog" "${wall[$name.$prog]}" "${clock[$name.$prog]}" \
            "${cpu[$name.$prog]}" "${peak[$name.$prog]}" "$(awk -v k="${peak[$name.$prog]}" 'BEGIN { printf "%.1f", k / 1024 }')"
    done
    for prog in stripped tabulon; do
        [ -n "${wall[$name.$prog]:-}" ] || continue
        printf '%-8s %-9s %8s %10s %7s %11s %9s\n' "$name" "${prog:0:1}/x ratio" \
            "$(ratio "${wall[$name.$prog]}" "${wall[$name.xsltproc]}")" \
            "$(ratio "${clock[$name.$prog]}" "${clock[$name.xsltproc]}")" \
            "$(ratio "${cpu[$name.$prog]}" "${cpu[$name.xsltproc]}")" \
            "$(ratio "${peak[$name.$prog]}" "${peak[$name.xsltproc]}")" ""
    done
done
echo "Medians of $runs run(s). \"wall s\", \"cpu s\" and \"peak\" are /usr/bin/time's %e, %U + %S and %M;"
echo "\"clock ms\" is the wall time around /usr/bin/time, which adds about 1 ms of its own."
if [ "$stripped" = 1 ]; then
    echo "t/x: tabulon / xsltproc. s/x: xsltproc on the source without indentation / xsltproc."
else
    echo "t/x: tabulon / xsltproc."
fi
echo "Load average when done: $(cut -d' ' -f1-3 /proc/loadavg)."

if [ "$reference_only" = 0 ]; then
    echo
    check() {
        if within "$2" "$3"; then echo "  met     $1: $2 <= $3"; else echo "  MISSED  $1: $2 > $3"; fi
    }
    echo "targets:"
    for name in half large; do
        [ -n "${wall[$name.tabulon]:-}" ] || continue
        check "$name, wall time ratio" "$(ratio "${wall[$name.tabulon]}" "${wall[$name.xsltproc]}")" 0.5
        check "$name, peak memory ratio" "$(ratio "${peak[$name.tabulon]}" "${peak[$name.xsltproc]}")" 0.55
    done
    [ -z "${cpu[ten.tabulon]:-}" ] || check "ten-point, processor time ratio" "$(ratio "${cpu[ten.tabulon]}" "${cpu[ten.xsltproc]}")" 2
fi
exit "$status"
