#!/usr/bin/env bash
# test-share.sh: the tests' share of the code, as non-blank lines of the files
# git tracks. Tests are tests/ (npm's generated lock file aside); the code is
# the product, its examples, scripts and build files (bench/ and fuzz/ aside).
set -euo pipefail
cd "$(dirname "$0")/.."

code_folders=(app accessibility commands ocr platform text examples scripts cmake)

non_blank_lines() {
  git ls-files -z -- "$@" | xargs -0 cat | grep -cv '^[[:space:]]*$'
}

tests="$(non_blank_lines tests ':!tests/**/package-lock.json')"
code="$(non_blank_lines "${code_folders[@]}")"
echo "tests: $tests non-blank lines"
echo "code:  $code non-blank lines"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "share: %.1f %% of %d\n", 100 * t / (t + c), t + c }'
