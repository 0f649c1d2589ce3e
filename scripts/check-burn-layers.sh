#!/bin/sh
# Checks that the burner's sub-folders include one another only downwards: no file of
# transport/, drive/, iso/ or write/ includes emulated/ (the emulated recorder is reached
# through the transport's target interface), and no file of iso/ includes drive/,
# transport/ or write/ (the image is laid out without a drive). Prints every include that
# breaks a rule and exits 1 when there is one.
#
#   scripts/check-burn-layers.sh [SOURCE_DIR]
set -eu

ROOT=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$ROOT/burn"

status=0
# check FOLDERS FORBIDDEN: the includes of FORBIDDEN folders in the files of FOLDERS.
check() {
    folders=$1
    forbidden=$2
    found=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"burn/($forbidden)/" -r $folders || true)
    if [ -n "$found" ]; then
        echo "$found" | sed 's|^|burn/|; s|$|  (may not be included here)|'
        status=1
    fi
}

check "transport drive iso write" "emulated"
check "iso" "drive|transport|write"
if [ "$status" -eq 0 ]; then
    echo "burn/: every include runs downwards"
fi
exit "$status"
