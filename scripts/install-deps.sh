#!/usr/bin/env bash
# Installs, through apt, whatever is asked for and this machine lacks.
#   scripts/install-deps.sh            the Linux build of tabrino (what scripts/quickstart.sh needs)
#   scripts/install-deps.sh --tests    also what the Linux tests need and use
#   scripts/install-deps.sh --windows  also the tests, the 32-bit Windows build, Wine and
#                                      what scripts/test.sh uses around them
# (--windows adds the i386 architecture for Wine's 32-bit half; 2 to 3 GB in all)
set -euo pipefail

tests=false windows=false
for option in "$@"; do
  case $option in
    --tests) tests=true ;;
    --windows) tests=true windows=true ;;
    *) echo "usage: $0 [--tests | --windows]" >&2; exit 2 ;;
  esac
done

# The build: CLI11, fast_float, nlohmann-json (GeoJSON regions) and Boost's headers (the R-tree that
# indexes a region's edges); libosmium reads OpenStreetMap extracts (with zlib, expat and bzip2);
# libjs-leaflet is the map page's Leaflet, built in (npm serves only where it is missing).
packages=(cmake make g++ libcli11-dev libfast-float-dev nlohmann-json3-dev libboost-dev
          libosmium2-dev libprotozero-dev zlib1g-dev libexpat1-dev libbz2-dev libjs-leaflet)
if $tests; then
  # GoogleTest; groff reads the manual page back; gpsbabel, ogrinfo (gdal-bin) and xmllint (libxml2-utils)
  # read the exports and the map back, gpsbabel and ogr2ogr write the GPX, KML, GeoJSON and CSV files the
  # tests read, zip packs a .kmz; osmium-tool makes the tests' .pbf and .bz2; Chromium draws the map
  # page in its test, ImageMagick reads its screenshot.
  packages+=(googletest libgtest-dev groff-base gpsbabel gdal-bin libxml2-utils osmium-tool chromium imagemagick zip)
fi
if $windows; then
  packages+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
             mandoc  # the manual as HTML, for the zip
             wine wine32:i386 xvfb xdotool openbox x11-utils
             libz-mingw-w64-dev dpkg-dev file unzip lintian)  # the packages: dependencies and checks of the .deb, a look inside the zip
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The Windows build compiles Debian's expat sources with the mingw toolchain (GPX, KML and .osm XML):
# fetched with apt-get source into the folder cmake/ThirdParty.cmake looks in.
expat_sources=/usr/local/src/tabrino/expat
if $windows && [ ! -f "$expat_sources/CMakeLists.txt" ]; then
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
      "$(. /etc/os-release && echo "$VERSION_CODENAME")" /usr/share/keyrings/debian-archive-keyring.gpg |
      $sudo tee /etc/apt/sources.list.d/tabrino-src.sources >/dev/null
  fi
  $sudo apt-get update
  $sudo mkdir -p "$(dirname "$expat_sources")"
  (cd "$(dirname "$expat_sources")" && $sudo apt-get source expat)
  # The library's own CMake project lies in the package's expat/ folder.
  $sudo ln -sfn "$(ls -d "$(dirname "$expat_sources")"/expat-*/ | tail -n 1)expat" "$expat_sources"
fi
[ ${#missing[@]} -eq 0 ] && exit 0
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  $sudo dpkg --add-architecture i386
fi
# apt's own lines show its progress: the first run downloads a lot.
echo "Installing with apt: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
