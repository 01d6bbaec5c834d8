#!/usr/bin/env bash
# The run script, started from another folder with a relative song path, must start the program
# in that folder with the path unchanged, after building only the editor and the render tool. The script runs in a copy of the checkout whose set-up,
# build and program are stand-ins, so nothing is installed or built.
set -euo pipefail
script="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

checkout="$work/checkout"
mkdir -p "$checkout/tools" "$checkout/build/default/app" "$work/bin" "$work/songs/mine"
cp "$script" "$checkout/run"
printf '#!/bin/sh\nexit 0\n' >"$checkout/tools/install-deps.sh"
printf '#!/bin/sh\necho "$*" >>"%s"\nexit 0\n' "$work/cmake.log" >"$work/bin/cmake"
# The stand-in program reports its folder and whether its argument names a file from there.
cat >"$checkout/build/default/app/tavomix" <<'PROGRAM'
#!/bin/sh
echo "folder=$(pwd)"
[ -f "$1" ] && echo "found=$1"
exit 0
PROGRAM
chmod +x "$checkout/run" "$checkout/tools/install-deps.sh" "$work/bin/cmake" \
    "$checkout/build/default/app/tavomix"
echo data >"$work/songs/mine/tune.son"

out="$(cd "$work/songs" && PATH="$work/bin:$PATH" ../checkout/run mine/tune.son)"
echo "$out"
grep -qx "folder=$work/songs" <<<"$out" || { echo "FAIL: the program did not start in the caller's folder"; exit 1; }
grep -qx "found=mine/tune.son" <<<"$out" || { echo "FAIL: the relative song path does not name the file"; exit 1; }
grep -qx -- "--build --preset default --target tavomix tavomix-render" "$work/cmake.log" ||
    { echo "FAIL: the build step builds more than the two programs"; cat "$work/cmake.log"; exit 1; }
echo PASS
