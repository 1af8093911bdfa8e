#!/bin/sh
# Formats the C and C++ sources with the root .clang-format (clang-format 14, Debian's
# clang-format package). Generated files are left as their generators write them: the
# freshness tests compare them byte for byte.
#   tools/format.sh          rewrite in place
#   tools/format.sh --check  list the files that would change, exit 1 if any
set -e
cd "$(dirname "$0")/.."
files=$(git ls-files '*.h' '*.hpp' '*.c' '*.cpp' | grep -v -e '_data\.h$' -e '^include/nrx/zar_functions\.h$')
if [ "$1" = "--check" ]; then
  bad=0
  for f in $files; do
    clang-format --style=file "$f" | cmp -s - "$f" || { echo "$f"; bad=1; }
  done
  exit $bad
fi
clang-format --style=file -i $files
