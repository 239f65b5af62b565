#!/usr/bin/env bash
# Fails when the repository tracks what it must not: a path that starts with '-' (a tool took an
# option for its output folder), or a file over 1 MB outside tests/data (generated output).
# Without git, or outside a git checkout, it fails: it cannot tell what is tracked.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v git >/dev/null; then
  echo "check-tree.sh: git is not installed (Debian package git)" >&2
  exit 1
fi
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
# pipefail does not see a process substitution fail; its exit status comes from wait.
if ! wait "$!"; then
  echo "check-tree.sh: git cannot list the tracked files of $PWD (no git checkout?)" >&2
  exit 1
fi
exit "$status"
