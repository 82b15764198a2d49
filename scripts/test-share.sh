#!/usr/bin/env bash
# test-share.sh: the tests' share of the code, as non-blank lines of the files
# git tracks, counting source files only (data such as scenes, pages and npm's
# lock file aside). Tests are tests/; the code is the product, its example
# applications, scripts and build files (bench/ and fuzz/ aside).
set -euo pipefail
cd "$(dirname "$0")/.."

code_folders=(app accessibility commands ocr platform record text examples scripts cmake)
source_files=('*.cpp' '*.h' '*.sh' '*.mjs' '*.cmake' '*.in' 'CMakeLists.txt')

# Non-blank lines of the source files under the folders given.
non_blank_lines() {
  local pathspecs=() folder pattern
  for folder in "$@"; do
    for pattern in "${source_files[@]}"; do pathspecs+=(":(glob)$folder/**/$pattern"); done
  done
  git ls-files -z -- "${pathspecs[@]}" | xargs -0 cat | grep -cv '^[[:space:]]*$'
}

tests="$(non_blank_lines tests)"
code="$(non_blank_lines "${code_folders[@]}")"
echo "tests: $tests non-blank lines"
echo "code:  $code non-blank lines"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "share: %.1f %% of %d\n", 100 * t / (t + c), t + c }'
