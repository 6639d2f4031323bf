#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's archive (as root), skipping what is there.
set -euo pipefail
packages=(g++ cmake make ninja-build googletest libgtest-dev libssl-dev liburing-dev
          g++-mingw-w64-x86-64-posix wine wine64 util-linux)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(libbenchmark-dev libdeflate-dev libisal-dev zlib1g-dev bfs fd-find hyperfine findutils)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [[ $(id -u) -eq 0 ]] || sudo_cmd="sudo"
  $sudo_cmd apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"
fi
