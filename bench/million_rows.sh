#!/bin/sh
# Builds the release preset with the benchmarks, then runs the large-report comparison:
# heron at 10k, 100k and 1M rows against libxlsxwriter constant_memory, vellum and tamarack
# through their exports at 300k records, and the sample host against the exporter alone.
# Every figure is the median of three alternating runs; the ratios are CPU and wall time
# against libxlsxwriter's. `--quick` runs smaller sizes, `--host` the sample host's comparison
# alone, `--heron` heron against libxlsxwriter alone, `--libraries` vellum and tamarack against
# libxlsxwriter alone. bench/README.md says how to read the table.
#
#   bench/million_rows.sh [--quick] [--host | --heron | --libraries] [WORK_DIR]
set -eu
cd "$(dirname "$0")/.."
quick=""
if [ "${1:-}" = "--quick" ]; then quick="--quick"; shift; fi
host=""
if [ "${1:-}" = "--host" ]; then host="--host"; shift; fi
if [ "${1:-}" = "--heron" ]; then host="--heron"; shift; fi
if [ "${1:-}" = "--libraries" ]; then host="--libraries"; shift; fi
work="${1:-${TMPDIR:-/tmp}/qx-million-rows}"
export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target heron vellum tamarack qx_host million_rows >/dev/null
echo "commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown), $(nproc) cores"
build/release/bench/million_rows $quick $host build/release examples "$work"
rm -rf "$work"
