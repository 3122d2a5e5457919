#!/bin/sh
# check-package.sh BUILD LAYOUT VERSION
# Packages the build tree BUILD with cpack and checks the package from the
# outside: its files against LAYOUT, its version and dependencies, lintian and
# the desktop validators; then starts the first version and the command-line
# programs from the unpacked package, and the second version from a
# `cmake --install --prefix` tree, each on the simulated board.
set -eu
build=$1
layout=$2
version=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-package.XXXXXX")
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== cpack"
cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/qv4816x_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work/out"; fail "no $deb"; }

echo "== contents against the layout"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort > "$work/actual"
grep -v '^$' "$layout" | sort > "$work/expected"
diff -u "$work/expected" "$work/actual" || fail "package contents differ from the layout"

echo "== control fields"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for p in libqt6widgets6 libusb-1.0-0 libc6 qt6-qpa-plugins; do
  echo "$depends" | grep -q "\\b$p\\b" || fail "Depends lacks $p"
done

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

echo "== unpacked: validators, launchers, programs"
root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
for f in "$root"/usr/bin/*; do
  target=$(readlink "$f") || fail "$f is not a link"
  case $target in ../lib/qv4816x/*) ;; *) fail "$f links to $target" ;; esac
  [ -x "$f" ] || fail "$f does not reach a program"
done

# start_program NAME LIB PROGRAM [ARGS]: starts PROGRAM on the simulated board,
# waits until its start-up has reached the board's ADC (the last thing the
# main window's load does) and checks that it loaded the interface library
# LIB and the firmware file beside it; then ends it.
start_program() {
  name=$1 lib=$2
  shift 2
  trace=$work/$name.trace
  EVLINK_TRACE=$trace "$@" > "$work/$name.log" 2>&1 &
  pid=$!
  i=0
  until grep -q 'request code=218' "$trace" 2>/dev/null; do
    kill -0 "$pid" 2>/dev/null || { cat "$work/$name.log"; fail "$name ended at start-up"; }
    i=$((i + 1))
    [ $i -le 600 ] || { cat "$trace" "$work/$name.log"; fail "$name did not start within 60 s"; }
    sleep 0.1
  done
  grep -qF " $lib" "/proc/$pid/maps" || { grep EVLINK "/proc/$pid/maps"; fail "$name did not load $lib"; }
  grep -qF "path=$(dirname "$lib")/QV4816.hex -> status=" "$trace" || { cat "$trace"; fail "$name firmware path"; }
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  echo "$name started with $lib"
}
start_program first "$root/usr/lib/qv4816x/libEVLINK1.so" "$root/usr/bin/qv4816x-v1"

# The second version is bound to the library's place on the target system.
for f in "$root"/usr/lib/qv4816x/*; do
  bound=$(strings "$f" | sed -n 's/^EVLINK4 library path://p')
  [ -z "$bound" ] || [ "$bound" = /usr/lib/qv4816x/libEVLINK4.so ] || fail "$f is bound to $bound"
done
strings "$root/usr/lib/qv4816x/qv4816x" | grep -qx 'EVLINK4 library path:/usr/lib/qv4816x/libEVLINK4.so' ||
  fail "the second version is not bound to /usr/lib/qv4816x/libEVLINK4.so"

# Every program answers --help and --version from the unpacked package, without a display.
for f in "$root"/usr/bin/*; do
  for option in --help --version; do
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 60 "$f" $option > "$work/help" 2>&1 ||
      { cat "$work/help"; fail "${f##*/} $option"; }
    [ -s "$work/help" ] || fail "${f##*/} $option says nothing"
  done
done
echo "== documentation where it is installed"
doc=$root/usr/share/doc/qv4816x
! zcat "$doc/README.md.gz" | grep -n 'build/' || fail "the installed README speaks of build/"
if [ -e "$root/usr/bin/qv4816x-scpi" ]; then
  for needle in 'STATus:OPERation' 'FORMat:BORDer' 'SYSTem:ERRor:ALL?' '\-\-keep\-going'; do
    zcat "$root/usr/share/man/man1/qv4816x-scpi.1.gz" | grep -qF -- "$needle" || fail "man qv4816x-scpi lacks $needle"
  done
  grep -q 'STATus:PRESet' "$doc/remote.md" || fail "remote.md is not the reference"
  dpkg-deb -f "$deb" Description | grep -q qv4816x-scpi || fail "the description does not name qv4816x-scpi"
fi
for b in qv4816x qv4816x-v1 qv4816x-scpi qv4816x-analyse; do
  [ ! -e "$root/usr/bin/$b" ] || grep -q "<binary>$b</binary>" "$root"/usr/share/metainfo/*.metainfo.xml ||
    fail "the metainfo does not provide $b"
done
for needle in remote version offset gain inl dnl noise; do
  zcat "$root/usr/share/man/man1/qv4816x.1.gz" | grep -q -- "$needle" || fail "man qv4816x lacks $needle"
done

echo "== cmake --install --prefix"
cmake --install "$build" --prefix "$work/prefix" > "$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install"; }
start_program second "$work/prefix/lib/qv4816x/libEVLINK4.so" "$work/prefix/bin/qv4816x"
echo "packaging: all checks passed"
