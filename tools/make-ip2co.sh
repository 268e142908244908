#!/bin/sh
# Builds the shipped IP-to-country database from the npm package
# @ip-location-db/geo-whois-asn-country (IPv4 numeric ranges, NRO data, CC BY 4.0) and the
# ISO 3166 country names of Debian's iso-codes package.
#
#   tools/make-ip2co.sh [output-folder]     (default: data/)
#
# Writes ip2co.txt.gz (lines "start<TAB>end<TAB>code<TAB>name", ascending, adjacent ranges of
# one country merged; names in Windows-1252) and version.txt (the package version).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/data"}
names=/usr/share/iso-codes/json/iso_3166-1.json
[ -r "$names" ] || { echo "missing $names (apt-get install iso-codes)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
(cd "$work" && npm pack --silent @ip-location-db/geo-whois-asn-country >/dev/null)
tar -xzf "$work"/*.tgz -C "$work"
csv="$work/package/geo-whois-asn-country-ipv4-num.csv"
version=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["version"])' \
  "$work/package/package.json")

python3 - "$csv" "$names" "$work/ip2co.txt" <<'PY'
import csv, json, sys
src, names_path, dst = sys.argv[1:4]
names = {c["alpha_2"]: c["name"] for c in json.load(open(names_path, encoding="utf-8"))["3166-1"]}
names.setdefault("XK", "Kosovo")  # user-assigned code, absent from ISO 3166-1
rows = []
with open(src, newline="") as f:
    for start, end, code in csv.reader(f):
        rows.append((int(start), int(end), code.strip().upper()))
# A few single addresses or small blocks are registered inside a larger block of another
# country: the inner range wins, the outer one is split around it.
rows.sort(key=lambda r: (r[0], -r[1]))
flat, stack, cur = [], [], 0
def emit(upto, code):
    global cur
    if upto >= cur:
        flat.append([cur, upto, code])
        cur = upto + 1
for start, end, code in rows:
    while stack and stack[-1][0] < start:
        emit(*stack.pop())
    if stack:
        emit(start - 1, stack[-1][1])
    cur = max(cur, start)
    stack.append((end, code))
while stack:
    emit(*stack.pop())
merged = []
for start, end, code in flat:
    if merged and merged[-1][2] == code and merged[-1][1] + 1 == start:
        merged[-1][1] = end
    else:
        merged.append([start, end, code])
with open(dst, "wb") as out:
    for start, end, code in merged:
        name = names.get(code, code)
        out.write(f"{start}\t{end}\t{code}\t{name}\n".encode("cp1252", "replace"))
print(f"{len(rows)} ranges, {len(merged)} after merging", file=sys.stderr)
PY

mkdir -p "$out"
gzip -9 -n -c "$work/ip2co.txt" >"$out/ip2co.txt.gz"
printf '%s\n' "$version" >"$out/version.txt"
echo "wrote $out/ip2co.txt.gz and $out/version.txt (version $version)" >&2
