#!/usr/bin/env bash
# Installs the Debian packages the build, the viewer and the tests need, and any further
# packages named as arguments. Quiet and quick when everything is present; safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs
  libtiff-dev libtiff-tools
  libgtk-3-dev libwebkit2gtk-4.1-dev
  xvfb xauth dbus-daemon python3-xlib shared-mime-info
  imagemagick python3-pil
  zlib1g-dev giflib-tools
  # the decode benchmark's reference libraries (bench/)
  libgif-dev libpng-dev libspng-dev libdeflate-dev
  "$@"
)

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
