#!/usr/bin/env bash
# Fails when a source file includes from a folder above its own in the layer order (the README's
# map, top first), when widgets uses anything of ours but platform, or when the script module links
# a library of ours instead of seeing the XML service through its headers.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(app ui widgets console session pipeline fields scripts xml convert text platform)
declare -A rank
for i in "${!layers[@]}"; do
    rank[${layers[$i]}]=$i
done

# May a file of folder $1 include a header of folder $2?
allowed() {
    local from=$1 to=$2
    [[ $from == "$to" ]] && return 0
    [[ $from == widgets ]] && { [[ $to == platform ]]; return; }
    ((rank[$to] > rank[$from]))
}

failures=0
while IFS= read -r -d '' file; do
    from=${file#src/}
    from=${from%%/*}
    if [[ -z ${rank[$from]+known} ]]; then
        echo "$file: folder '$from' has no place in the layer order" >&2
        failures=$((failures + 1))
        continue
    fi
    while IFS=: read -r line target; do
        to=${target%%/*}
        [[ -z ${rank[$to]+known} ]] && continue # a header beside it, or a generated one
        if ! allowed "$from" "$to"; then
            echo "$file:$line: includes \"$target\": $from may not use $to" >&2
            failures=$((failures + 1))
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/[^"]+"' "$file" |
        sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

if grep -Eq 'tabulon_(platform|text|convert|xml|fields|pipeline|session|console|widgets|ui|app)\b' \
    src/scripts/CMakeLists.txt; then
    echo "src/scripts/CMakeLists.txt: the script module links a library of ours; it may use xml's headers only" >&2
    failures=$((failures + 1))
fi

if ((failures > 0)); then
    echo "check-layers: $failures crossing(s) of the layer order" >&2
    exit 1
fi
echo "check-layers: every include follows the layer order"
