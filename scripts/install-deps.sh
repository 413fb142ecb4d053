#!/usr/bin/env bash
# Installs, through apt, whatever the build needs and this machine lacks.
#   scripts/install-deps.sh            the Linux build and its tests
#   scripts/install-deps.sh --windows  also the 32-bit Windows build, Wine and
#                                      what scripts/test.sh uses around them
# (the i386 architecture is added for Wine's 32-bit half; 2 to 3 GB in all)
set -euo pipefail

# gpsbabel, ogrinfo (gdal-bin) and xmllint (libxml2-utils) read the exports and the map back in the tests.
# libosmium reads OpenStreetMap extracts (with zlib, expat and bzip2); osmium-tool makes the tests' .pbf and .bz2.
# libjs-leaflet is the map page's Leaflet, built in (npm serves only where it is missing); Chromium draws the page
# in its test, ImageMagick reads its screenshot. nlohmann-json3-dev reads GeoJSON regions;
# libboost-dev's R-tree indexes their edges.
packages=(cmake make g++ libcli11-dev libfast-float-dev nlohmann-json3-dev libboost-dev googletest libgtest-dev groff-base gpsbabel
          gdal-bin libxml2-utils libosmium2-dev libprotozero-dev zlib1g-dev libexpat1-dev libbz2-dev osmium-tool
          libjs-leaflet chromium imagemagick)
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
             mandoc  # the manual as HTML, for the zip
             wine wine32:i386 xvfb xdotool openbox x11-utils
             libz-mingw-w64-dev dpkg-dev file unzip lintian)  # the packages: dependencies and checks of the .deb, a look inside the zip
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  $sudo dpkg --add-architecture i386
fi
# apt's own lines show its progress: the first run downloads a lot.
echo "Installing with apt: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
