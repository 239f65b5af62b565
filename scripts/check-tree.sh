#!/usr/bin/env bash
# Fails when the repository tracks what it must not: a path that starts with '-' (a tool took an
# option for its output folder), or a file over 1 MB outside tests/data (generated output).
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r -d '' path; do
  case "$path" in
    -* | */-*) echo "tracked path starts with '-': $path" >&2; status=1 ;;
  esac
  case "$path" in tests/data/*) continue ;; esac
  if [ -f "$path" ] && [ "$(stat -c %s -- "$path")" -gt 1048576 ]; then
    echo "tracked file over 1 MB outside tests/data: $path" >&2
    status=1
  fi
done < <(git ls-files -z)
exit "$status"
