#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: exactly the expected files, programs that run from
# there (the editor finding its audio settings in share/tavomix/), a menu entry and metadata the
# freedesktop.org validators accept and that agree with each other, and file types that name
# songs by their name and by their first bytes. Then the Debian package made by cpack: lintian
# has no error or warning for it. Nothing outside the temporary folder is touched.
#   install_test.sh CMAKE CPACK BUILD_DIR HARDENED   (HARDENED: 1 in the builds that are packaged)
set -euo pipefail
cmake="$1"
cpack="$2"
build="$3"
hardened="$4"
id=org.tavomix.Tavomix

needed=(desktop-file-validate appstreamcli update-mime-database gio lintian)
missing=()
for tool in "${needed[@]}"; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ ${#missing[@]} -ne 0 ]; then
    echo "SKIPPED: needs ${missing[*]} (tools/install-deps.sh installs them)"
    exit 77
fi

work="$(mktemp -d)"
pid=""
cleanup() {
    if [ -n "$pid" ]; then
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
# The tools and the editor keep their caches and settings in the temporary folder too.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export GIO_USE_VFS=local
mkdir -p "$HOME"
prefix="$work/prefix"
share="$prefix/share"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

expected="bin/tavomix
bin/tavomix-render
share/applications/$id.desktop
share/doc/tavomix/changelog.gz
share/doc/tavomix/copyright
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/tavomix-render.1.gz
share/man/man1/tavomix.1.gz
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml
share/tavomix/alsoft.conf
share/tavomix/examples/arpeggios.son
share/tavomix/examples/effects.son
share/tavomix/examples/melody.son
share/tavomix/examples/starter.fms"
installed="$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort)"
[ "$installed" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$installed") || true)"
[ -x "$prefix/bin/tavomix" ] && [ -x "$prefix/bin/tavomix-render" ] || fail "programs not executable"

# The validators: any error fails; their notes are shown.
desktop="$share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refused the menu entry"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" ||
    fail "appstreamcli refused the metainfo"

# The entry starts the installed program with one file, shows the installed icon and offers
# the types the mime package defines; the metadata launches this entry.
grep -qx 'Exec=tavomix %f' "$desktop" || fail "Exec is not 'tavomix %f'"
grep -qx "Icon=$id" "$desktop" || fail "Icon is not $id"
types="$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)"
defined="$(grep -o '<mime-type type="[^"]*"' "$share/mime/packages/$id.xml" | cut -d'"' -f2 | sort)"
[ -n "$types" ] && [ "$types" = "$defined" ] || fail "MimeType ($types) is not what the mime package defines ($defined)"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
    "$share/metainfo/$id.metainfo.xml" || fail "the metainfo does not launch $id.desktop"

# The file types, seen through the temporary prefix alone.
export XDG_DATA_DIRS="$share" XDG_DATA_HOME="$work/data-home"
update-mime-database "$share/mime"
printf 'TVS\000' >"$work/tune.son"
printf 'TVX\001COMP' >"$work/tune-without-extension"
printf 'TVS\002' >"$work/not-a-song"
head -c 1408 /dev/zero >"$work/sounds.fms"
type_of() { gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'; }
[ "$(type_of "$work/tune.son")" = application/x-tavomix-song ] || fail ".son is not a song"
[ "$(type_of "$work/tune-without-extension")" = application/x-tavomix-song ] ||
    fail "a song without its extension is not known by its first bytes"
[ "$(type_of "$work/not-a-song")" != application/x-tavomix-song ] ||
    fail "\"TV\" and a fourth byte other than 0 or 1 was taken for a song"
[ "$(type_of "$work/sounds.fms")" = application/x-tavomix-bank ] || fail ".fms is not a sound bank"

# The installed renderer runs from the prefix and wants its arguments.
set +e
"$prefix/bin/tavomix-render" >/dev/null 2>"$work/render.err"
code=$?
set -e
[ $code -eq 2 ] && grep -q '^usage: tavomix-render' "$work/render.err" ||
    fail "tavomix-render without arguments: exit $code, $(cat "$work/render.err")"

# The installed editor hands OpenAL the audio settings in share/tavomix/: OpenAL's trace names
# each configuration file it reads. The editor runs offscreen, in the temporary folder; with no
# sound server or card it would not start OpenAL at all, so it is given OpenAL's null backend.
mkdir -m 700 "$work/runtime"
(
    cd "$work"
    unset ALSOFT_CONF
    QT_QPA_PLATFORM=offscreen XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime" \
        ALSOFT_DRIVERS=null ALSOFT_LOGLEVEL=3 exec "$prefix/bin/tavomix" >"$work/editor.log" 2>&1
) &
pid=$!
conf="$prefix/bin/../share/tavomix/alsoft.conf"
for _ in $(seq 100); do
    grep -qF "Loading config $conf" "$work/editor.log" && break
    sleep 0.1
done
grep -qF "Loading config $conf" "$work/editor.log" ||
    fail "the installed editor did not point OpenAL at $conf:
$(grep 'Loading config' "$work/editor.log" || cat "$work/editor.log")"

# The package, from the builds it is made from (optimised, without sanitizers): lintian finds no
# error or warning, nor the notes it once had (hardening, the compilers' .comment section); its
# other notes are shown. Lintian does not look for the stack protector, nor at whether the
# changelog's latest entry is this version.
if [ "$hardened" != 1 ]; then
    echo "PASS (the package is checked in the optimised builds without sanitizers)"
    exit 0
fi
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    fail "cpack made no package: $(cat "$work/cpack.log")"
deb="$(echo "$work"/package/*.deb)"
as_root=()
[ "$(id -u)" -ne 0 ] || as_root=(--allow-root)
lintian --pedantic --display-info --fail-on none "${as_root[@]}" "$deb" >"$work/lintian.log" 2>&1 ||
    fail "lintian could not check the package: $(cat "$work/lintian.log")"
cat "$work/lintian.log"
! grep -qE '^[EW]: |^[IP]: [^ ]+ (hardening-|binary-has-unneeded-section)' "$work/lintian.log" ||
    fail "lintian objects to the package"
dpkg-deb -x "$deb" "$work/unpacked"
for program in tavomix tavomix-render; do
    readelf --dyn-syms -W "$work/unpacked/usr/bin/$program" | grep __stack_chk_fail >/dev/null ||
        fail "$program is built without a stack protector"
done
version="$(dpkg-deb -f "$deb" Version)"
[[ "$(gzip -dc "$work/unpacked/usr/share/doc/tavomix/changelog.gz" | sed -n 1p)" == "tavomix ($version) "* ]] ||
    fail "the changelog's latest entry is not version $version"
echo PASS
