#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Logvane need, when missing.
# As root it runs apt-get; otherwise it prints the exact command to run and fails.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev zlib1g-dev libcurl4-openssl-dev libcairo2-dev libgif-dev
  qt6-base-dev iso-codes fonts-liberation fonts-dejavu-core
  python3 python3-pyftpdlib xvfb
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "Logvane needs these Debian packages. Install them with:" >&2
  echo "  sudo apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
