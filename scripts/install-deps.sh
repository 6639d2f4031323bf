#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's archive (as root), skipping what is there,
# and generates the German locale that the number-formatting tests compare against.
#   --packages  also what building and checking the packages needs (cpack, lintian)
#   --bench     also the peers and libraries of the benchmarks
set -euo pipefail
# locales and unicode-data: the locale and case-folding tests; man-db and bsdextrautils: the
# manual pages' checks (man, lexgrog, col).
packages=(g++ cmake make ninja-build googletest libgtest-dev libssl-dev liburing-dev
          g++-mingw-w64-x86-64-posix wine wine64 util-linux locales unicode-data man-db bsdextrautils)
for option in "$@"; do
  case $option in
    --packages) packages+=(dpkg-dev file lintian) ;;
    --bench) packages+=(libbenchmark-dev libdeflate-dev libisal-dev zlib1g-dev bfs fd-find hyperfine findutils rhash) ;;
    *) echo "unknown option $option" >&2; exit 2 ;;
  esac
done
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
if ! locale -a | grep -qx 'de_DE.utf8'; then
  "${sudo_cmd[@]}" sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)$/\1/' /etc/locale.gen
  grep -qx 'de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen
fi
