#!/usr/bin/env bash
# Runs the shared half of Microsoft's XSLT conformance cases (../shared/msft) with tabulon and
# with xsltproc, and prints their pass counts side by side. Not part of the test command.
set -euo pipefail

usage() {
    cat <<'USAGE'
Usage: bench/conformance.sh [--saxon] [TABULON]
  TABULON   the executable to run (default: build/tabulon)
  --saxon   also run Saxon-HE (Debian libsaxonhe-java), for comparison only
Results go to bench/out/conformance-*.tsv; the table compares them (lenient is the measure).
USAGE
}

root="$(cd "$(dirname "$0")/.." && pwd)"
suite="${TABULON_MSFT_DIR:-$root/../shared/msft}"
# A linked worktree has its shared data beside the main checkout.
if [ -z "${TABULON_MSFT_DIR:-}" ] && [ ! -d "$suite" ]; then
    common="$(git -C "$root" rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)"
    [ -n "$common" ] && suite="$(dirname "$common")/../shared/msft"
fi
tabulon="$root/build/tabulon"
saxon=0
for arg in "$@"; do
    case "$arg" in
    -h | --help) usage; exit 0 ;;
    --saxon) saxon=1 ;;
    *) tabulon="$arg" ;;
    esac
done

if [ ! -f "$suite/run.py" ]; then
    echo "conformance: $suite is not here; nothing to run"
    exit 0
fi
if [ ! -x "$tabulon" ]; then
    echo "conformance: no executable $tabulon (build the tabulon target first)" >&2
    exit 1
fi
# The runner needs lxml, which Debian's own Python has (python3-lxml).
python=/usr/bin/python3
if ! "$python" -c 'import lxml' 2>/dev/null; then
    echo "conformance: $python lacks lxml (apt-get install python3-lxml)" >&2
    exit 1
fi

out="$root/bench/out"
mkdir -p "$out"
tabulon="$(cd "$(dirname "$tabulon")" && pwd)/$(basename "$tabulon")"
results=("$out/conformance-tabulon.tsv" "$out/conformance-xsltproc.tsv")
nice "$python" "$suite/run.py" tabulon "$tabulon" --results "${results[0]}" | tail -n 1
nice "$python" "$suite/run.py" xsltproc --results "${results[1]}" | tail -n 1
if [ "$saxon" = 1 ]; then
    results+=("$out/conformance-saxon.tsv")
    nice "$python" "$suite/run.py" saxon --results "${results[2]}" | tail -n 1
fi
"$python" "$suite/run.py" table "${results[@]}"
