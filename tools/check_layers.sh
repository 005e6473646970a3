#!/usr/bin/env bash
# Checks that the folders of src/ depend on each other one way only: a file may include headers of
# its own folder and of the folders below it in LAYERS, never of a folder above it. An upward
# include is allowed only when tools/layers_allow.txt names it, with a comment saying why.
#
#   bash tools/check_layers.sh           list the upward includes not allowed, print the counts,
#                                        exit 1 when there is any
#   bash tools/check_layers.sh --all     also list the allowed ones and every folder arrow
#
# ARCHITECTURE.md describes the layers and how a lower layer calls up through a seam.
set -euo pipefail
cd "$(dirname "$0")/.."

# Lowest first. A folder of src/ that is not here is an error: place it in the order.
LAYERS=(platform core ui results document netlist analog devices digital plots analyses schematic app)
ALLOW_FILE=tools/layers_allow.txt

SHOW_ALL=0
for a in "$@"; do
  case "$a" in
    --all) SHOW_ALL=1 ;;
    *) echo "unknown option $a" >&2; exit 2 ;;
  esac
done

declare -A RANK
for i in "${!LAYERS[@]}"; do RANK[${LAYERS[$i]}]=$i; done

status=0
for dir in src/*/; do
  d=$(basename "$dir")
  if [ -z "${RANK[$d]+x}" ]; then
    echo "src/$d is in no layer: add it to LAYERS in tools/check_layers.sh and to ARCHITECTURE.md" >&2
    status=1
  fi
done

# Allow-list entries: "<file> <included header>  # why". An entry without its reason, or one that
# no longer matches an upward include, is an error, so the list only ever shrinks with the code.
grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' --include='*.h' --include='*.cpp' src \
    | grep -v '^src/main\.cpp:' | sort -t: -k1,1 -k2,2n \
    | awk -v layers="${LAYERS[*]}" -v allow_file="$ALLOW_FILE" -v show_all="$SHOW_ALL" '
  BEGIN {
    n = split(layers, order, " ")
    for (i = 1; i <= n; i++) rank[order[i]] = i
    bad = 0
    while ((getline line < allow_file) > 0) {
      lineno++
      entry = line; sub(/#.*/, "", entry); gsub(/^[ \t]+|[ \t]+$/, "", entry); gsub(/[ \t]+/, " ", entry)
      if (entry == "") continue
      why = line; if (index(why, "#") == 0) why = ""; else { sub(/^[^#]*#/, "", why); gsub(/[ \t]/, "", why) }
      if (why == "") { printf "%s:%d: entry without a comment saying why: %s\n", allow_file, lineno, entry > "/dev/stderr"; bad = 1 }
      allowed[entry] = lineno
    }
  }
  {
    # file:line:text
    file = $0; sub(/:.*/, "", file)
    rest = substr($0, length(file) + 2); ln = rest; sub(/:.*/, "", ln)
    header = rest; sub(/^[^"]*"/, "", header); sub(/".*/, "", header)
    from = file; sub(/^src\//, "", from); sub(/\/.*/, "", from)
    if (index(header, "/") == 0) next
    to = header; sub(/\/.*/, "", to)
    if (!(from in rank) || !(to in rank) || from == to) next
    arrows[from " " to]++
    if (rank[to] > rank[from]) {
      upward++
      key = file " " header
      if (key in allowed) {
        nallowed++; used[key] = 1
        alist[nallowed] = sprintf("%s:%s: %s -> %s: %s (allowed)", file, ln, from, to, header)
      } else {
        nrefused++
        rlist[nrefused] = sprintf("%s:%s: %s -> %s: %s", file, ln, from, to, header)
      }
    }
  }
  END {
    for (k in allowed) if (!(k in used)) {
      printf "%s:%d: no such upward include any more, remove the entry: %s\n", allow_file, allowed[k], k > "/dev/stderr"
      bad = 1
    }
    if (nrefused > 0) {
      print "Upward includes (a lower folder including a header of a higher one):"
      for (i = 1; i <= nrefused; i++) print "  " rlist[i]
    }
    if (show_all && nallowed > 0) {
      print "Allowed upward includes:"
      for (i = 1; i <= nallowed; i++) print "  " alist[i]
    }
    narrows = 0; nup = 0
    if (show_all) print "Folder arrows (include lines):"
    for (i = 1; i <= n; i++) for (j = 1; j <= n; j++) {
      k = order[i] " " order[j]
      if (!(k in arrows)) continue
      narrows++
      if (j > i) nup++
      if (show_all) printf "  %-10s -> %-10s %5d%s\n", order[i], order[j], arrows[k], (j > i) ? "  UP" : ""
    }
    printf "Layers: %s\n", layers
    printf "Upward include lines: %d (%d allowed, %d not allowed)\n", upward, nallowed, nrefused
    printf "Folder arrows: %d, of which upward: %d\n", narrows, nup
    exit (bad || nrefused > 0) ? 1 : 0
  }' || status=1
exit $status
