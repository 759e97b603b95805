#!/bin/bash
# The engine's floors look only down: model <- picture <- work. Every quoted include of a file
# under engine/ must name a header of its own floor or of a floor below it, and picture/internal
# is the picture's own. Prints each include that looks up or sideways; status 1 when there is one.
# Usage: check-floors.sh [SOURCE_DIR]
cd "${1:-$(dirname "$0")/..}" || exit 2
declare -A floorOf
for header in engine/model/*.h; do floorOf[$(basename "$header")]=0; done
for header in engine/picture/*.h; do floorOf[$(basename "$header")]=1; done
for header in engine/picture/internal/*.h; do floorOf[$(basename "$header")]=internal; done
for header in engine/work/*.h; do floorOf[$(basename "$header")]=2; done

status=0
for file in engine/model/* engine/picture/* engine/picture/internal/* engine/work/*; do
    [ -f "$file" ] || continue
    case $file in
    engine/model/*) own=0 ;;
    engine/picture/*) own=1 ;;
    engine/work/*) own=2 ;;
    esac
    while IFS=: read -r line name; do
        floor=${floorOf[$name]:-}
        if [ -z "$floor" ]; then
            echo "$file:$line: \"$name\" is no header of the engine"
            status=1
        elif [ "$floor" = internal ]; then
            [ "$own" = 1 ] || { echo "$file:$line: \"$name\" is the picture's own"; status=1; }
        elif [ "$floor" -gt "$own" ]; then
            echo "$file:$line: \"$name\" lies on a floor above"
            status=1
        fi
    done < <(grep -n '^#include "' "$file" | sed 's/^\([0-9]*\):#include "\([^"]*\)".*/\1:\2/')
done
exit $status
