#!/usr/bin/env bash
# Runs every benchmark of the project, side by side where each compares, and
# writes the report docs/performance.md (or the file given as the argument).
# Benchmarks report medians and ratios; none fails on a time threshold.
#   bench/run-all.sh [REPORT.md]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$top/build-bench}"
report="${1:-$top/docs/performance.md}"

BUILD_DIR="$build_dir" "$top/scripts/build.sh" -DCMAKE_BUILD_TYPE=Release >&2

section() {  # title, then the command whose output goes in a code block
  local title="$1"
  shift
  echo "running: $title" >&2
  {
    printf '\n## %s\n\n```\n' "$title"
    "$@" 2>&1
    printf '```\n'
  } >>"$report.partial"
}

cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
memory="$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)"
{
  echo "# Performance"
  echo
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`bench/run-all.sh\` on $(nproc) cores of $cpu,"
  echo "$memory of memory, $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r), commit $(git -C "$top" rev-parse --short HEAD)."
  echo "Every figure is a median; every ratio compares two things measured side by side in this one run."
  echo "Load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)."
} >"$report.partial"

bench="$build_dir/bench"
section "Protocol: \"ping\" through morvel_ax_sim beside a line-echo program" \
  "$bench/protocol_throughput" "$build_dir/app/morvel_ax_sim" "$bench/line_echo" "$top/examples/contacts.json"
section "\"find\" and \"selector-at\" on large simulated windows, beside a bare replay of their platform calls" \
  "$bench/selector_bench"
section "\"structure\" on large simulated tables" "$bench/structure_bench"
section "\"fields\" on a large simulated form" "$bench/fields_bench"
section "\"fingerprint\" on simulated windows of growing size" "$bench/fingerprint_bench"
section "Real desktop: commands on gtk3-widget-factory beside a pyatspi client" \
  "$top/bench/linux/run-ax-bench.sh" "$build_dir"
section "Real desktop: commands on Chromium showing a page of about 4,000 elements, beside a pyatspi client" \
  "$top/bench/linux/run-ax-bench.sh" "$build_dir" chromium
section "Real desktop: commands on Firefox ESR showing the same page, beside a pyatspi client" \
  "$top/bench/linux/run-ax-bench.sh" "$build_dir" firefox
section "Real desktop: commands on a LibreOffice Calc sheet that reports 1,048,576 rows" \
  "$top/bench/linux/run-calc-bench.sh" "$build_dir"
section "Real screen: \"ocr-region\" beside the tesseract command-line tool" \
  "$top/bench/linux/run-ocr-bench.sh" "$build_dir"
# Only where GNOME Shell is installed (scripts/bootstrap.sh --gnome): it is
# large, and no other part of the project needs it.
if command -v gnome-shell >/dev/null; then
  section "Wayland: GNOME Shell through the helper's extension, beside X11" \
    env BUILD_DIR="$build_dir" "$top/bench/linux/run-wayland-bench.sh" --gnome
fi

mv "$report.partial" "$report"
echo "wrote $report" >&2
