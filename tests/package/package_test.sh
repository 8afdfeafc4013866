#!/usr/bin/env bash
# The Debian package as a user gets it: built with CPack from this build tree,
# installed with apt-get, used, and removed again.
#   - the installed vexa-headless answers --version;
#   - the installed vexa fills a fresh XDG folder with the bundled software,
#     and vexa-headless boots it: the monitor the boot ROM loaded from the
#     EEPROM is in memory and the bundled hello program runs;
#   - the example project builds against the installed CMake package;
#   - the menu entry, icon, metainfo and man pages are where desktops look.
# It changes the system, so it runs only as root, and it leaves alone a vexa
# package that was installed before it started.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get > /dev/null || ! command -v dpkg-shlibdeps > /dev/null; then
  echo "skipped: installing the package needs root, apt-get and dpkg-dev"
  exit 77
fi
if dpkg-query -W -f='${Status}' vexa 2>/dev/null | grep -q "install ok installed"; then
  echo "skipped: a vexa package is installed already and is left alone"
  exit 77
fi

work=$(mktemp -d)
vexa_pid=""
installed=""
cleanup() {
  [ -n "$vexa_pid" ] && kill "$vexa_pid" 2>/dev/null || true
  [ -n "$installed" ] && apt-get remove -y -o DPkg::Lock::Timeout=600 vexa > "$work/remove.log" 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

# Build the package; CPack puts it and its scratch files in $work.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/deb/vexa_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "package: $(basename "$deb"), depends on: $depends"
for lib in libqt6widgets6 libsdl2 libpng16 libc6; do
  grep -q "$lib" <<< "$depends" || fail "the package does not depend on $lib"
done

installed=yes
(cd "$work/deb" && apt-get install -y -o DPkg::Lock::Timeout=600 "./$(basename "$deb")") > "$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "apt-get install"; }

[ "$(command -v vexa)" = /usr/bin/vexa ] || fail "vexa is not on the PATH"
[ "$(/usr/bin/vexa-headless --version)" = "vexa-headless $(dpkg-deb -f "$deb" Version)" ] ||
  fail "vexa-headless --version said '$(/usr/bin/vexa-headless --version)'"
for f in /usr/share/applications/vexa.desktop /usr/share/icons/hicolor/48x48/apps/vexa.png \
         /usr/share/icons/hicolor/scalable/apps/vexa.svg /usr/share/man/man1/vexa.1.gz \
         /usr/share/man/man1/vexa-headless.1.gz /usr/share/vexa/include/vexa.inc \
         /usr/bin/mksdimage /usr/bin/mkeeprom /usr/bin/mkfont; do
  [ -e "$f" ] || fail "$f is not installed"
done
ls /usr/share/metainfo/*vexa*.metainfo.xml > /dev/null || fail "no metainfo installed"
grep -q '^Exec=vexa' /usr/share/applications/vexa.desktop || fail "the menu entry does not start vexa"

# First start from the menu with a fresh XDG folder; the window comes up on
# the offscreen platform and is stopped once the folder is there.
export XDG_DATA_HOME="$work/xdg" HOME="$work/home" SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
user="$XDG_DATA_HOME/vexa"
(cd "$HOME" && exec /usr/bin/vexa) > "$work/vexa.log" 2>&1 &
vexa_pid=$!
for _ in $(seq 200); do [ -f "$user/card.img" ] && break; sleep 0.1; done
sleep 1
kill -0 "$vexa_pid" 2>/dev/null || { cat "$work/vexa.log" >&2; fail "the installed vexa did not keep running"; }
kill "$vexa_pid" # Ctrl+C and SIGTERM end the window program
for _ in $(seq 50); do kill -0 "$vexa_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$vexa_pid" 2>/dev/null && { kill -KILL "$vexa_pid"; fail "the installed vexa ignored SIGTERM"; }
wait "$vexa_pid" 2>/dev/null || true
vexa_pid=""
for f in config.txt boot.rom monitor.eep card.img; do
  cmp -s "/usr/share/vexa/$f" "$user/$f" || fail "$f did not reach the fresh XDG folder"
done

# A short headless boot there: the boot ROM has copied the monitor from the
# EEPROM image (after its 8-byte header) to 0x0800, and hello has printed.
(cd "$user" && /usr/bin/vexa-headless --frames 120 --type 'run hello\n@20' --screenshot boot.png --quiet) ||
  fail "vexa-headless did not boot the bundled software"
length=$(od -An -tu2 -j4 -N2 "$user/monitor.eep" | tr -d ' ')
cmp -s -n "$length" -i 8:$((0x800)) "$user/monitor.eep" "$user/main.ram" ||
  fail "the monitor is not in memory after the boot"
[ "$(stat -c %s "$user/boot.png")" -gt 0 ] || fail "no screenshot"
echo "installed: headless boot of the bundled software in a fresh XDG folder"

# The example project against the installed CMake package.
if command -v z80asm > /dev/null; then
  cp -r /usr/share/vexa/examples/hello "$work/hello"
  cmake -S "$work/hello" -B "$work/hello/build" > "$work/example.log" 2>&1 &&
    cmake --build "$work/hello/build" >> "$work/example.log" 2>&1 &&
    ctest --test-dir "$work/hello/build" >> "$work/example.log" 2>&1 ||
    { cat "$work/example.log" >&2; fail "the example project did not build and pass against the package"; }
  echo "installed: the example project builds and passes"
fi

apt-get remove -y -o DPkg::Lock::Timeout=600 vexa > "$work/remove.log" 2>&1 || { cat "$work/remove.log" >&2; fail "apt-get remove"; }
installed=""
[ ! -e /usr/bin/vexa ] && [ ! -e /usr/share/vexa/boot.rom ] || fail "files are left after removing the package"
[ -f "$user/card.img" ] || fail "removing the package touched the user's card"
echo "package: passed"
