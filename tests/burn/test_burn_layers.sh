#!/bin/sh
# The burner's sub-folders include one another only downwards: the source tree passes the
# layer check, and a tree holding one wrong include of each kind is refused with that
# file named.
#
#   tests/burn/test_burn_layers.sh SOURCE_DIR
set -u

SOURCE=$1
CHECK="$SOURCE/scripts/check-burn-layers.sh"
failures=0

if ! out=$(sh "$CHECK" "$SOURCE" 2>&1); then
    echo "FAIL: the source tree breaks the layer rules:"
    echo "$out"
    failures=$((failures + 1))
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# folder of the including file, folder it includes
for pair in transport:emulated drive:emulated iso:emulated write:emulated iso:drive iso:transport iso:write; do
    from=${pair%%:*}
    to=${pair#*:}
    rm -rf "$work/burn"
    mkdir -p "$work/burn/$from" "$work/burn/$to"
    printf '#include "burn/%s/x.h"\n' "$to" > "$work/burn/$from/a.cpp"
    printf '#include "burn/%s/a.h"\n' "$from" > "$work/burn/$to/x.cpp"  # the allowed direction
    if out=$(sh "$CHECK" "$work" 2>/dev/null); then
        echo "FAIL: burn/$from including burn/$to passed"
        failures=$((failures + 1))
    elif ! echo "$out" | grep -q "^burn/$from/a.cpp:1:"; then
        echo "FAIL: burn/$from including burn/$to not named: $out"
        failures=$((failures + 1))
    elif echo "$out" | grep -q "x.cpp"; then
        echo "FAIL: burn/$to including burn/$from refused: $out"
        failures=$((failures + 1))
    fi
done

[ "$failures" -eq 0 ] && echo "all layer checks behave"
exit "$failures"
