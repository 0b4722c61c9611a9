#!/usr/bin/env bash
# Installs what the fuzz build (-DFUZZ=ON) needs on top of scripts/install-deps.sh:
# clang and its libFuzzer and sanitizer runtimes. Only the fuzz build uses them.
set -euo pipefail
cd "$(dirname "$0")/.."
exec scripts/install-deps.sh clang libclang-rt-14-dev
