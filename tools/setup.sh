#!/usr/bin/env bash
# Installs what building and testing Norvalisk needs on a Debian 12 machine:
# the mingw-w64 cross toolchain, Wine with a virtual display, the Japanese
# locale and font, GoogleTest sources, NSIS and 7-Zip for the installer, and
# libpng cross-built for Windows from Debian's source package. Idempotent: a
# second run only checks and returns.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps="$root/build/deps"

# Everything both README commands use, by name: a minimal Debian 12 has none of
# it, and nothing here may rely on a package that another one only recommends.
packages=(
  cmake make g++ clang libclang-rt-14-dev patch xz-utils ca-certificates
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  libz-mingw-w64-dev libpng-dev zlib1g-dev googletest libgtest-dev libbenchmark-dev
  wine wine64 xvfb xdotool x11-utils imagemagick locales fonts-ipafont-gothic
  python3 poppler-utils fonts-dejavu-core procps
  python3-numpy python3-pil iproute2
  nsis 7zip
)

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "setup: run as root, or install sudo" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
# A passing failure of the mirror is tried again rather than failing the set-up.
apt_opts=(-o Acquire::Retries=5)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null
fi

# Japanese locale: Wine maps it to the ANSI code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
  echo "setup: generating ja_JP.UTF-8"
  "${sudo_cmd[@]}" sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi

# libpng for the Windows build, from Debian's source package (pinned, checked).
png_version=1.6.39
png_debian=2+deb12u5
png_orig_sha=a00e9d2f2f664186e4202db9299397f851aea71b36a35e74910b8820e380d441
png_debian_sha=ab14906eda9fddf14cbb1e589b9ba7439c22e233dc3c5e3cf9356c9625565a82
png_prefix="$deps/mingw"
if [ ! -f "$png_prefix/lib/libpng16.a" ] || [ "$(cat "$png_prefix/.libpng-version" 2>/dev/null)" != "$png_version-$png_debian" ]; then
  echo "setup: building libpng $png_version-$png_debian for mingw-w64"
  work="$deps/libpng-src"
  rm -rf "$work"; mkdir -p "$work/sources.d" "$work/lists/partial" "$work/dl"
  # The machine's own mirrors, asked for sources instead of packages (deb822
  # format on cloud images, the one-line format after a classic install).
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$work/sources.d/debian.sources"
  else
    sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list > "$work/sources.d/debian.list"
  fi
  aptopts=("${apt_opts[@]}" -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources.d"
    -o "Dir::State::Lists=$work/lists")
  apt-get "${aptopts[@]}" update -qq
  if ! (cd "$work/dl" && apt-get "${aptopts[@]}" source --download-only -qq \
      "libpng1.6=$png_version-$png_debian" >"$work/source.log" 2>&1); then
    cat "$work/source.log" >&2
    echo "setup: could not download libpng1.6 $png_version-$png_debian from Debian's sources" >&2
    exit 1
  fi
  echo "$png_orig_sha  $work/dl/libpng1.6_$png_version.orig.tar.gz" | sha256sum -c --quiet
  echo "$png_debian_sha  $work/dl/libpng1.6_$png_version-$png_debian.debian.tar.xz" | sha256sum -c --quiet
  tar -xzf "$work/dl/libpng1.6_$png_version.orig.tar.gz" -C "$work"
  src="$work/libpng-$png_version"
  tar -xJf "$work/dl/libpng1.6_$png_version-$png_debian.debian.tar.xz" -C "$src"
  grep -v '^\s*#' "$src/debian/patches/series" | grep -v '^\s*$' | while read -r patch _; do
    patch -d "$src" -p1 -s < "$src/debian/patches/$patch"
  done
  cmake -S "$src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$png_prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_FRAMEWORK=OFF >/dev/null
  cmake --build "$work/build" -j2 >/dev/null
  cmake --install "$work/build" >/dev/null
  echo "$png_version-$png_debian" > "$png_prefix/.libpng-version"
  rm -rf "$work"
fi

# Every command the project's scripts call, so that a missing one stops here by
# name instead of failing later in a way that hides the cause.
commands=(
  cmake make ctest g++ gcc clang clang++ patch tar xz sha256sum timeout
  x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres
  wine wineserver /usr/lib/wine/wine64 Xvfb xdotool xdpyinfo convert import pdftoppm
  python3 locale ip ps makensis 7zz
)
absent=()
for c in "${commands[@]}"; do
  command -v "$c" >/dev/null 2>&1 || absent+=("$c")
done
/usr/bin/python3 -c 'import numpy, PIL' 2>/dev/null || absent+=("python3 modules numpy and PIL")
locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$' || absent+=("locale ja_JP.UTF-8")
if ((${#absent[@]})); then
  echo "setup: missing after installing: ${absent[*]}" >&2
  exit 1
fi
