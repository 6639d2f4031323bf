#!/usr/bin/env bash
# Builds the two packages through their presets and checks them as a user would get them (as
# root, since it installs the Debian package on this machine and removes it again):
# - the .deb: lintian finds no error; once installed, every program of the build's list
#   (build/release/installed-programs.txt) runs from PATH and has its manual page, purgent cleans
#   a scratch tree, and removing the package takes the programs away again;
# - the .zip: the Windows programs and DLLs sit side by side in bin/, and each program runs
#   from there under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "FAIL: $*" >&2; exit 1; }
for preset in release mingw; do
  echo "==== $preset: package"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
  cpack --preset "$preset" | grep -E "package: .* generated" || fail "cpack --preset $preset"
done
deb=$(ls build/release/packages/*.deb)
zip=$(ls build/mingw/packages/*.zip)
mapfile -t programs <build/release/installed-programs.txt
((${#programs[@]})) || fail "the build lists no program"
package=$(dpkg-deb --field "$deb" Package)

echo "==== lintian $deb"
lintian --fail-on error "$deb" || fail "lintian reports an error"
echo "lintian: no error"

echo "==== install $deb"
# The package's /usr/bin holds exactly the listed programs.
in_package=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed -n 's|^\./usr/bin/\(.\)|\1|p' | sort)
[[ $in_package == "$(printf '%s\n' "${programs[@]}" | sort)" ]] || fail "/usr/bin of the package: $in_package"
remove() { dpkg --purge "$package" >/dev/null 2>&1 || true; }
trap remove EXIT
dpkg --install "$deb"
scratch=$(mktemp -d)
for program in "${programs[@]}"; do
  [[ $(command -v "$program") == /usr/bin/$program ]] || fail "$program is not on PATH from /usr/bin"
  usage=$(cd "$scratch" && env -u LD_LIBRARY_PATH "$program" -?) || fail "$program -? exits with $?"
  echo "${usage%%$'\n'*}"
  man -P cat "$program" 2>/dev/null | grep -q "^NAME" || fail "man $program shows no page"
done
mkdir -p "$scratch/tree/sub"
touch -d '10 days ago' "$scratch/tree/sub/old.log"
touch "$scratch/tree/sub/new.log" "$scratch/tree/keep.txt"
purgent "$scratch/tree" -s -n '*.log' -a 3d || fail "purgent on the scratch tree"
[[ ! -e $scratch/tree/sub/old.log && -e $scratch/tree/sub/new.log && -e $scratch/tree/keep.txt ]] ||
  fail "purgent left: $(cd "$scratch/tree" && find . | sort | tr '\n' ' ')"
dpkg --purge "$package"
trap - EXIT
for program in "${programs[@]}"; do
  [[ ! -e /usr/bin/$program ]] || fail "/usr/bin/$program is left after removing $package"
done
echo "$package: installed, ran ${programs[*]}, removed"

echo "==== unpack $zip"
(cd "$scratch" && cmake -E tar xf "$OLDPWD/$zip")
bin=$(echo "$scratch"/*/bin)
[[ -f $bin/api-orvo-files-1-0.dll && -f $bin/api-orvo-time-1-0.dll ]] || fail "the DLLs are not in $bin"
for program in "${programs[@]}"; do
  usage=$(cd "$scratch" && WINEDEBUG=-all wine "$bin/$program.exe" -?) || fail "$program.exe -? exits with $? under Wine"
  echo "${usage%%$'\r'*}"
done
rm -rf "$scratch"
echo "packages checked"
