#!/usr/bin/env bash
# Installs what the fuzz build (-DFUZZ=ON) needs on top of scripts/install-deps.sh:
# clang and its libFuzzer and sanitizer runtimes. Only the fuzz build uses them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

packages=(clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
