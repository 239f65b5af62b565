#!/usr/bin/env bash
# scripts/check-tree.sh fails, with a message, where it cannot list the tracked files: outside a
# git checkout, and without git. Passing there would vouch for a tree it never looked at.
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/scripts" "$scratch/bin"
cp "$1" "$scratch/scripts/"
ln -s "$(command -v dirname)" "$(command -v stat)" "$scratch/bin/"
failed=0
check() {
  local where=$1
  shift
  if "$@" >/dev/null 2>"$scratch/err"; then
    echo "check-tree.sh passes $where"; failed=1
  elif ! grep -q '^check-tree.sh: ' "$scratch/err"; then
    echo "check-tree.sh fails $where without saying why"; failed=1
  fi
}
GIT_CEILING_DIRECTORIES=$scratch check "outside a git checkout" bash "$scratch/scripts/check-tree.sh"
check "without git" env PATH="$scratch/bin" "$BASH" "$1"
exit "$failed"
