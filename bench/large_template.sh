#!/bin/sh
# Filling a large template: kestrel, through the sample host, writes 10 framed rows below the
# data of a template of 100,000 and one of 1,000,000 rows x 10 cells (made by
# make_large_template.py), against the floor (inflating the template's sheet, `unzip -p` to
# /dev/null, plus deflating it, `zip -1`), the same fill into the empty template, and, for
# 100,000 rows, openpyxl loading the template, adding the same rows and saving it.
# Each figure is the median of REPEATS runs (3; the 1,000,000-row fill runs once).
#
#   bench/large_template.sh [--read-back] [WORK_DIR]
#
# --read-back: each filled report is then read back by openpyxl and LibreOffice
# (bench/read_back.py), which must agree with each other and find the template's every cell.
#
# wall and CPU (user + system) and peak (maximum resident set) come from /usr/bin/time. The
# ratios: peak over the filled sheet's uncompressed XML; peak above the empty template's run;
# wall over the floor's.
set -eu
cd "$(dirname "$0")/.."
root=$PWD
read_back=0
if [ "${1:-}" = "--read-back" ]; then read_back=1; shift; fi
work="${1:-${TMPDIR:-/tmp}/qx-large-template}"
repeats="${REPEATS:-3}"
python=/usr/bin/python3
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target qx_host kestrel >/dev/null
host="$root/build/release/host/qx_host"
base="$root/examples/kestrel/template.xlsx"
rm -rf "$work"
mkdir -p "$work/conf"
cd "$work"

echo "commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown), $(nproc) cores"
echo "machine load before: $(uptime)"

# measure NAME COMMAND...: runs it, appends "wall cpu peak_kb" to NAME.runs.
measure() {
  name=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o time.out "$@"
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' time.out >>"$name.runs"
}

# median NAME: "wall cpu peak_kb", each the median over NAME's runs.
median() {
  for column in 1 2 3; do
    cut -d' ' -f$column "$1.runs" | sort -n | awk '{ v[NR] = $1 } END { printf "%s ", v[int((NR + 1) / 2)] }'
  done
}

# description TEMPLATE START_ROW: a kestrel report of 10 rows of 10 framed cells.
description() {
  "$python" - "$1" "$2" <<'EOF'
import json, sys
fields = ["primary_b", "primary_d", "primary_n", "primary_o", "primary_r", "primary_s",
          "primary_x", "primary_y"]
rows = [dict({f: f"追加{r}-{i}" for i, f in enumerate(fields)}, primary_c=r) for r in range(10)]
print(json.dumps({"exporter": "kestrel", "template": sys.argv[1],
                  "header": {"header_text1": "大表", "show_flag1": 1, "header_row1": 2,
                             "header_column1": 1, "start_row": int(sys.argv[2]),
                             "border_weight": 2, "primary_spec": "abcdnorsxy"},
                  "rows": rows}, ensure_ascii=False))
EOF
}

fill() {  # fill NAME TEMPLATE START_ROW
  description "$2" "$3" >"$1.json"
  measure "$1" "$host" "$1.json" --output "$work/$1.xlsx" --conf "$work/conf" --quiet >/dev/null
}

sheet_bytes() {  # the uncompressed size of a package's first sheet
  unzip -l "$1" xl/worksheets/sheet1.xml | awk '$4 == "xl/worksheets/sheet1.xml" { print $1 }'
}

i=0
while [ $i -lt "$repeats" ]; do
  fill empty "$base" 5
  i=$((i + 1))
done
set -- $(median empty)
empty_peak=$3

printf '%-34s %8s %8s %10s %10s %9s %8s\n' job wall CPU peak "peak/XML" "over empty" "/floor"
printf '%-34s %6.2f s %6.2f s %7.1f MB\n' "kestrel into the empty template" "$1" "$2" "$(echo "$3" | awk '{ print $1 * 1024 / 1e6 }')"

for rows in 100000 1000000; do
  label=$((rows / 1000))k
  [ "$rows" = 1000000 ] && label=1M
  template="t$label.xlsx"
  "$python" "$root/bench/make_large_template.py" "$base" "$rows" "$template" >/dev/null
  last=$((rows + 5))  # the data's last row: the template's own 4 rows, one empty, the data
  runs=$repeats
  [ "$rows" = 1000000 ] && runs=1
  unzip -p "$template" xl/worksheets/sheet1.xml >sheet1.xml
  i=0
  while [ $i -lt "$runs" ]; do
    measure "inflate$label" sh -c "unzip -p '$template' xl/worksheets/sheet1.xml >/dev/null"
    rm -f sheet.zip
    measure "deflate$label" zip -1 -q sheet.zip sheet1.xml
    fill "fill$label" "$work/$template" $((last + 2))
    i=$((i + 1))
  done
  rm -f sheet1.xml sheet.zip
  xml=$(sheet_bytes "fill$label.xlsx")
  set -- $(median "inflate$label")
  inflate_wall=$1 inflate_cpu=$2
  set -- $(median "deflate$label")
  floor_wall=$(echo "$inflate_wall $1" | awk '{ print $1 + $2 }')
  floor_cpu=$(echo "$inflate_cpu $2" | awk '{ print $1 + $2 }')
  printf '%-34s %6.2f s %6.2f s   (sheet XML %.1f MB)\n' "floor $label (unzip -p + zip -1)" \
    "$floor_wall" "$floor_cpu" "$(echo "$xml" | awk '{ print $1 / 1e6 }')"
  set -- $(median "fill$label")
  echo "$1 $2 $3 $xml $empty_peak $floor_wall" | awk -v job="kestrel via qx_host, $label rows" '{
    printf "%-34s %6.2f s %6.2f s %7.1f MB %9.2fx %7.1f MB %7.2fx\n", job, $1, $2, $3 * 1024 / 1e6,
      $3 * 1024 / $4, ($3 - $5) * 1024 / 1e6, $1 / $6 }'
  if [ "$rows" = 100000 ]; then
    i=0
    while [ $i -lt "$runs" ]; do
      measure "openpyxl$label" "$python" -c '
import sys, openpyxl
from openpyxl.styles import Border, Side
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
frame = Border(*(Side(style="medium"),) * 4)
for r in range(10):
    for c in range(1, 11):
        cell = sheet.cell(row=int(sys.argv[2]) + r, column=c, value=f"追加{r}-{c}")
        cell.border = frame
book.save(sys.argv[3])
' "$template" $((last + 2)) openpyxl.xlsx
      i=$((i + 1))
    done
    set -- $(median "openpyxl$label")
    echo "$1 $2 $3 $xml $floor_wall" | awk -v job="openpyxl load/edit/save, $label rows" '{
      printf "%-34s %6.2f s %6.2f s %7.1f MB %9.2fx %10s %7.2fx\n", job, $1, $2, $3 * 1024 / 1e6,
        $3 * 1024 / $4, "", $1 / $5 }'
  fi
  if [ $read_back = 1 ]; then
    status=0
    "$python" "$root/bench/read_back.py" "fill$label.xlsx" "$template" >read_back.out || status=$?
    sed "s/^/  $label /" read_back.out
    [ $status -eq 0 ] || exit $status
  fi
  rm -f "$template" "fill$label.xlsx" openpyxl.xlsx
done
echo "machine load after: $(uptime)"
cd "$root"
rm -rf "$work"
