#!/usr/bin/env bash
# Fails when a file of src/ or webhost/ includes a folder that the README's layer table does not
# allow it: the libraries share one include root, so only this check keeps the layers apart.
set -euo pipefail
cd "$(dirname "$0")/.."

# "folder|allowed folders" from the table between the README's layer markers.
mapfile -t rules < <(sed -n '/<!-- layers -->/,/<!-- \/layers -->/p' README.md |
    awk -F'|' '/^\| `/ { gsub(/[` ]/, "", $2); gsub(/[`,]/, " ", $3); print $2 "|" $3 }')
((${#rules[@]})) || { echo "check-layers: no layer table in README.md" >&2; exit 2; }

# The longest folder of the table that holds the file.
layer_of() {
    local file=$1 best="" rule folder
    for rule in "${rules[@]}"; do
        folder=${rule%%|*}
        if [[ $file == "$folder"/* && ${#folder} -gt ${#best} ]]; then best=$folder; fi
    done
    echo "$best"
}

allowed_for() {
    local layer=$1 rule
    for rule in "${rules[@]}"; do
        if [[ ${rule%%|*} == "$layer" ]]; then echo " ${rule#*|} "; fi
    done
}

failures=0
while IFS= read -r -d '' file; do
    layer=$(layer_of "$file")
    if [[ -z $layer ]]; then
        echo "$file: its folder is not in the README's layer table" >&2
        failures=$((failures + 1))
        continue
    fi
    allowed=$(allowed_for "$layer")
    own=${layer#src/}
    while IFS= read -r target; do
        [[ $target == "$own" || $allowed == *" $target "* ]] && continue
        echo "$file: includes from $target/, but $layer may include only from:$(tr -s " " <<<"${allowed% }")" >&2
        failures=$((failures + 1))
    done < <(sed -nE 's#^\#include "([a-z]+(/ui)?)/[^/"]+".*#\1#p' "$file" | sort -u)
done < <(git ls-files -z 'src/*.cpp' 'src/*.h' 'webhost/*.cpp' 'webhost/*.h')

if ((failures)); then
    echo "check-layers: $failures wrong include(s)" >&2
    exit 1
fi
echo "check-layers: every include follows the layer table"
