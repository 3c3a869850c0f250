#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev
  zlib1g-dev libfreetype-dev libjpeg62-turbo-dev libsqlite3-dev
  libcairo2-dev libpixman-1-dev nlohmann-json3-dev liblcms2-dev
  libcctz-dev tzdata libexpat1-dev
  libpoppler-cpp-dev
  libzip-dev libxml2-dev pandoc python3-docx libreoffice-writer-nogui
  curl qpdf poppler-utils poppler-data mupdf-tools
  openssl python3
  fonts-dejavu-core fonts-dejavu-extra fonts-urw-base35 fonts-wqy-microhei python3-fonttools
  fonts-noto-core fonts-noto-color-emoji fonts-noto-cjk
  libfribidi-dev libharfbuzz-dev libfontconfig-dev
  libpng-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q -o DPkg::Lock::Timeout=300 "${missing[@]}"
