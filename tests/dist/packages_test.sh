#!/usr/bin/env bash
# The Debian packages: cpack makes them from the build directory into a
# scratch directory; each carries its files, the command line package needs
# no GUI library, and trosk runs from the unpacked package.
# packages_test.sh BUILD_DIR VERSION GUI (GUI: 1 when trosk-gui is built)
. "$(dirname "$0")/lib.sh"
build=$1 version=$2 gui=$3
arch=$(dpkg --print-architecture)
out=$SCRATCH/packages

# Output and staging both go to the scratch directory, so that the build
# directory is left as it was.
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$SCRATCH/cpack.log" 2>&1; then
  cat "$SCRATCH/cpack.log" >&2
  fail "cpack failed"
  finish
fi

# has_files DEB PATHS...: the package holds each of the paths.
has_files() {
  local deb=$1 listing path
  shift
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for path; do
    grep -qx "./$path" <<<"$listing" || fail "$(basename "$deb") lacks $path"
  done
}

cli=$out/trosk_${version}_$arch.deb
if [ ! -f "$cli" ]; then
  fail "no $(basename "$cli"); cpack made: $(ls "$out")"
  finish
fi
dpkg-deb -c "$cli"
has_files "$cli" usr/bin/trosk usr/share/man/man1/trosk.1 \
  usr/share/bash-completion/completions/trosk
dpkg-deb -c "$cli" | grep -q 'trosk-gui' && fail "trosk package holds trosk-gui files"
[ "$(dpkg-deb -f "$cli" Version)" = "$version" ] || fail "trosk package version is not $version"
depends=$(dpkg-deb -f "$cli" Depends)
[[ $depends == *libc6* ]] || fail "trosk Depends lacks the shared libraries: '$depends'"
[[ ${depends,,} == *qt* ]] && fail "trosk Depends names Qt: '$depends'"

dpkg -x "$cli" "$SCRATCH/root"
help=$(cd "$SCRATCH" && "$SCRATCH/root/usr/bin/trosk" -help) || fail "unpacked trosk -help failed"
[[ $help == *"Trosk -- Version $version"* ]] || fail "unpacked trosk -help shows no version $version"

guideb=$out/trosk-gui_${version}_$arch.deb
if [ "$gui" = 1 ]; then
  dpkg-deb -c "$guideb"
  has_files "$guideb" usr/bin/trosk-gui usr/share/man/man1/trosk-gui.1 \
    usr/share/applications/trosk-gui.desktop usr/share/icons/hicolor/scalable/apps/trosk-gui.svg
  depends=$(dpkg-deb -f "$guideb" Depends)
  [[ $depends == *"trosk (= $version)"* ]] || fail "trosk-gui Depends lacks trosk: '$depends'"
  [[ $depends == *libqt* ]] || fail "trosk-gui Depends lacks Qt: '$depends'"
else
  [ ! -e "$guideb" ] || fail "trosk-gui package made without the trosk-gui program"
fi
finish
