#!/usr/bin/env bash
# Installs what is missing, builds everything (Linux and 32-bit Windows), runs
# every test (the Linux ones again under ThreadSanitizer, the Windows ones
# under Wine in a private X display) and makes both packages. Tests that need the published lists are skipped, saying so,
# where those are not at ../shared/data/real-lists (see README).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --windows

# A warning fails each build (TABRINO_WERROR), whoever runs this.
echo "== Linux build and tests"
# The tests are turned on here, also in a build folder the quick start made without them.
cmake --preset default -DTABRINO_WERROR=ON -DTABRINO_BUILD_TESTS=ON >/dev/null
nice -n 10 cmake --build --preset default
ctest --preset default

echo "== Linux tests under ThreadSanitizer"
# Only what the tests run is built. Without address randomisation, which
# ThreadSanitizer's fixed memory layout may collide with on newer kernels.
# Warnings only, here and for Windows: the first configure said the notices.
cmake --preset tsan -DTABRINO_WERROR=ON --log-level=WARNING >/dev/null
nice -n 10 cmake --build --preset tsan
# Every report fails the run, also one from a process whose exit status a
# test does not look at: each report is a file in this folder.
rm -rf build-tsan/tsan-reports && mkdir -p build-tsan/tsan-reports
setarch "$(uname -m)" -R ctest --preset tsan
# A million rows through the commands that use a second thread.
tsan_options="halt_on_error=1 exitcode=66 log_path=$PWD/build-tsan/tsan-reports/report"
million=$(mktemp -d)
build-tsan/bin/generate_list 1000000 7 > "$million/l.txt"
for command in "convert l.txt -q --near 20 --date 2014-11-14" "diff l.txt l.txt -q" "map l.txt -q -o l.svg"; do
  (cd "$million" && TSAN_OPTIONS=$tsan_options setarch "$(uname -m)" -R "$OLDPWD/build-tsan/bin/tabrino" $command)
done
rm -rf "$million"
if [ -n "$(ls build-tsan/tsan-reports)" ]; then
  cat build-tsan/tsan-reports/* >&2
  echo "ThreadSanitizer reported the above" >&2
  exit 1
fi

echo "== Windows build and tests (Wine)"
cmake --preset win32 -DTABRINO_NATIVE_CLI="$PWD/build/bin/tabrino" -DTABRINO_WERROR=ON --log-level=WARNING >/dev/null
nice -n 10 cmake --build --preset win32
scripts/with-display.sh ctest --preset win32

echo "== Packages"
# Each must hold what the README promises; a missing file fails the run.
expect_in() {  # expect_in LISTING PATH...
  local listing=$1 path; shift
  for path in "$@"; do
    grep -q -- "$path\$" <<<"$listing" || { echo "package lacks $path" >&2; exit 1; }
  done
}
rm -f build/tabrino_*.deb build-win32/tabrino-*.zip
cpack --preset deb >/dev/null
deb=$(ls build/tabrino_*.deb)
expect_in "$(dpkg-deb -c "$deb")" ./usr/bin/tabrino ./usr/share/man/man1/tabrino.1.gz \
  ./usr/share/bash-completion/completions/tabrino ./usr/share/doc/tabrino/README.md \
  ./usr/share/doc/tabrino/copyright ./usr/share/doc/tabrino/changelog.Debian.gz \
  $(cd examples && find . -type f | sed 's|^\.|./usr/share/doc/tabrino/examples|')
# The user's README, not the developers' (which tells how to build).
readme=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tabrino/README.md)
grep -q 'man tabrino' <<<"$readme" || { echo "$deb: README.md is not the one for users (docs/README-linux.md)" >&2; exit 1; }
# A Debian revision after the upstream version.
version=$(dpkg-deb -f "$deb" Version)
[[ $version == "$(build/bin/tabrino --version | awk '{print $NF}')"-[0-9]* ]] \
  || { echo "$deb: version $version has no Debian revision" >&2; exit 1; }
echo "$deb: $version, $(dpkg-deb -f "$deb" Depends)"
# Debian's own checks of a package: an error fails the run, the rest is shown.
lintian --fail-on error --info "$deb"
cpack --preset zip >/dev/null
zip=$(ls build-win32/tabrino-*.zip)
expect_in "$(unzip -l "$zip")" /Tabrino.exe /tabrino-cli.exe /README.txt /manual.html /LICENSE.txt /LICENSE-leaflet.txt \
  $(cd examples && find . -type f | sed 's|^\.|/examples|')
# The manual as Windows has it: no Unix paths, the command as tabrino-cli.
manual=$(unzip -p "$zip" '*/manual.html')
grep -q 'tabrino-cli convert' <<<"$manual" && ! grep -qE '/usr/share|/media/' <<<"$manual" || { echo "$zip: manual.html is not the Windows manual" >&2; exit 1; }
unzip -p "$zip" '*/README.txt' | file - | grep -q CRLF || { echo "$zip: README.txt is not Windows text (CRLF)" >&2; exit 1; }
echo "$zip"
