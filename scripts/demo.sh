#!/usr/bin/env bash
# The main job: fills every example report with the embedded engine, through the sample host,
# exactly as the calculation program hands reports to the exporters. Output goes to out/.
#   scripts/demo.sh [--preview]   (--preview renders each workbook to PNG with LibreOffice)
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/steps.sh
on_error_say demo
preview=0
[ "${1:-}" = "--preview" ] && preview=1

if ! command -v cmake >/dev/null || ! dpkg-query -W libzip-dev >/dev/null 2>&1 \
   || ! dpkg-query -W python3-openpyxl >/dev/null 2>&1; then
  bash scripts/bootstrap.sh
fi

echo "demo: building the release preset (minutes the first time; the log is kept on failure)"
run_quiet "demo: configure" cmake --preset release
run_quiet "demo: build" cmake --build --preset release -j "$(nproc)"
host=build/release/host/qx_host
if [ ! -x "$host" ]; then
  echo "demo: the sample host is not built yet ($host)"; exit 1
fi

# Renders a filled workbook's first page to PNG beside it (LibreOffice, then pdftoppm).
render() {
  if ! command -v libreoffice >/dev/null || ! command -v pdftoppm >/dev/null; then
    echo "demo: --preview needs libreoffice-calc and poppler-utils (fonts-wqy-zenhei for Chinese)"
    return
  fi
  local pdf="${1%.xlsx}.pdf"
  timeout 180 libreoffice --headless --convert-to pdf --outdir out "$1" >/dev/null 2>&1 &&
    pdftoppm -png -r 70 -singlefile "$pdf" "${1%.xlsx}" && rm -f "$pdf"
}

mkdir -p out
conf=$(mktemp -d /tmp/qx-demo-conf.XXXXXX)
trap 'rm -rf "$conf"' EXIT
mkdir -p "$conf/lang" "$conf/temp"
cp tamarack/lang/pinebrook_exe.txt "$conf/lang/"
export QX_MESSAGE_LOG="$PWD/out/messages.log"
: > "$QX_MESSAGE_LOG"

reports=(heron/report.json vellum/report.json vellum/report_x.json kestrel/report.json
         tamarack/report.json)
printf '%-10s %8s %8s %9s  %s\n' exporter records cells seconds output
status=0
for report in "${reports[@]}"; do
  name=$(basename "$(dirname "$report")")
  [ "$report" = vellum/report_x.json ] && name=vellum_x
  output="out/$name.xlsx"
  if ! line=$("$host" "examples/$report" --output "$output" --conf "$conf"); then
    echo "demo: $report failed"; status=1; continue
  fi
  IFS=$'\t' read -r exporter records seconds _ <<<"$line"
  cells=$(/usr/bin/python3 - "$output" <<'PY'
import sys
from openpyxl import load_workbook
wb = load_workbook(sys.argv[1])
print(sum(1 for ws in wb.worksheets for row in ws.iter_rows() for c in row if c.value is not None))
PY
)
  printf '%-10s %8s %8s %9s  %s\n' "$exporter" "$records" "$cells" "$seconds" "$output"
  if [ $preview -eq 1 ]; then render "$output"; fi
done
if [ -s "$QX_MESSAGE_LOG" ]; then
  echo "messages shown to the user:"; sed 's/^/  /' "$QX_MESSAGE_LOG"
fi
exit $status
