#!/usr/bin/env bash
# Installs what is missing, builds, and shows the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
echo "Sample pictures, ground truth and colour classes: $(pwd)/build/samples"
ls -l build/samples
