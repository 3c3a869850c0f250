#!/usr/bin/env bash
# Runs every libFuzzer target of build-fuzz/ for a short, fixed time, starting from its seed corpus in
# fuzz/corpus/<name>/. New inputs go to a temporary folder, so the committed corpus stays as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${KQ_FUZZ_SECONDS:-20}"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

shopt -s nullglob
targets=(build-fuzz/bin/*_fuzzer)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets built" >&2
  exit 1
fi
for target in "${targets[@]}"; do
  name="$(basename "$target" _fuzzer)"
  mkdir -p "$work/$name"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
      -artifact_prefix="$work/" "$work/$name" "${seeds[@]}" >"$work/$name.log" 2>&1; then
    tail -n 60 "$work/$name.log" >&2
    echo "fuzz: $name found a fault" >&2
    exit 1
  fi
done
echo "fuzz: ${#targets[@]} targets ran clean"
