#!/usr/bin/env bash
# Every generator tool answers --help with its usage and refuses an argument that starts with
# '-' instead of writing into a folder of that name.
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failed=0
for tool in "$@"; do
  name=$(basename "$tool")
  if ! "$tool" --help | grep -q "^usage: $name"; then
    echo "$name --help prints no usage or fails"; failed=1
  fi
  for arg in --help -x --out; do
    status=0
    "$tool" "$arg" >/dev/null 2>&1 || status=$?
    if [ "$arg" != --help ] && [ "$status" -ne 2 ]; then
      echo "$name $arg exits $status, not 2"; failed=1
    fi
  done
  if [ -n "$(ls -A)" ]; then
    echo "$name wrote into the working folder: $(ls -A)"; failed=1
    rm -rf -- ./*
  fi
done
exit "$failed"
