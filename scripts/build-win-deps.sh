#!/usr/bin/env bash
# Cross-builds the static Windows libraries the engine links (libjpeg-turbo with its TurboJPEG library,
# libpng, libtiff) and GoogleTest for the tests, from Debian's source packages, into a cache outside every
# source tree:
#   ${LV_WIN_DEPS_ROOT:-~/.cache/lumivue}/<triplet>/{include,lib}
# Built once per machine and reused by every clone; a later run only checks the stamp and returns.
#   scripts/build-win-deps.sh i686 x86_64
# zlib comes from Debian's libz-mingw-w64-dev, which covers both targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
home=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
cache=${LV_WIN_DEPS_ROOT:-$home/.cache/lumivue}
jobs=${LV_JOBS:-$(nproc)}

# Debian source packages: name, pinned version, upstream folder inside the .orig tarball. Pinned because
# the security suite lists newer versions whose .dsc files are not served, and an unpinned apt-get source
# then fails halfway.
sources=(
  "libjpeg-turbo 1:2.1.5-2 libjpeg-turbo-2.1.5"
  "libpng1.6 1.6.39-2+deb12u5 libpng-1.6.39"
  "tiff 4.5.0-6+deb12u4 tiff-4.5.0"
)
# Changes whenever the way the libraries are built changes, so that every cache is rebuilt once.
recipe="4 jpeg=1:2.1.5-2 png=1.6.39-2+deb12u5 tiff=4.5.0-6+deb12u4 gtest=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo none)"

log() { echo "build-win-deps: $*" >&2; }

enable_deb_src() {
  local list=/etc/apt/sources.list.d/lumivue-deb-src.sources
  if ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Version:'; then
    if [ ! -f "$list" ]; then
      local sudo=""
      [ "$(id -u)" -ne 0 ] && sudo="sudo"
      log "enabling Debian source packages in $list"
      printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm bookworm-updates" \
        "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" | $sudo tee "$list" >/dev/null
    fi
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
  fi
}

# Unpacks one source package into $cache/src/<folder>, with Debian's patches when the .dsc is available.
fetch_source() {
  local name=$1 version=$2 folder=$3
  local dir=$cache/src
  [ -f "$dir/$folder/.lumivue-unpacked" ] && return 0
  mkdir -p "$dir"
  rm -rf "${dir:?}/$folder"
  local upstream=${version#*:}
  upstream=${upstream%-*}
  (
    cd "$dir"
    if apt-get source --download-only -qq "$name=$version" >/dev/null 2>"$name.err" &&
      dpkg-source -x "${name}_${version#*:}.dsc" "$folder" >"$name.err" 2>&1; then
      log "$name $version unpacked with Debian's patches"
    else
      local orig
      orig=$(ls "${name}_${upstream}".orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1 || true)
      if [ -z "$orig" ]; then
        cat "$name.err" >&2
        log "no source of $name $version; versions Debian offers:"
        apt-cache showsrc "$name" | grep '^Version:' >&2 || true
        exit 1
      fi
      log "WARNING: $name $version: no complete source package, building the plain upstream $orig without Debian's patches"
      rm -rf "$folder"
      mkdir "$folder"
      tar -xf "$orig" -C "$folder" --strip-components=1
    fi
    rm -f "$name.err"
    touch "$folder/.lumivue-unpacked"
  )
}

cmake_build() {
  local triplet=$1 prefix=$2 name=$3 source=$4
  shift 4
  local build=$cache/build/$triplet/$name
  rm -rf "$build"
  mkdir -p "$build"
  log "$triplet: building $name"
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLV_WIN_DEPS_DIR="$prefix" \
    -DCMAKE_INSTALL_PREFIX:PATH="$prefix" -DCMAKE_INSTALL_LIBDIR:PATH=lib \
    -DCMAKE_INSTALL_INCLUDEDIR:PATH=include -DCMAKE_INSTALL_BINDIR:PATH=bin "$@" >"$build.log" 2>&1 ||
    { cat "$build.log" >&2; exit 1; }
  cmake --build "$build" -j"$jobs" >>"$build.log" 2>&1 || { tail -n 60 "$build.log" >&2; exit 1; }
  cmake --install "$build" >>"$build.log" 2>&1 || { tail -n 30 "$build.log" >&2; exit 1; }
  rm -rf "$build" "$build.log"
}

build_target() {
  local arch=$1 triplet
  case $arch in
    i686) triplet=i686-w64-mingw32 ;;
    x86_64) triplet=x86_64-w64-mingw32 ;;
    *) log "unknown target $arch (i686 or x86_64)"; exit 2 ;;
  esac
  local prefix=$cache/$triplet
  toolchain=$root/cmake/toolchain-mingw-$arch.cmake
  if [ -f "$prefix/.lumivue-deps" ] && [ "$(cat "$prefix/.lumivue-deps")" = "$recipe" ]; then
    return 0
  fi
  rm -rf "$prefix"
  mkdir -p "$prefix"
  local start=$SECONDS
  cmake_build "$triplet" "$prefix" libjpeg-turbo "$cache/src/libjpeg-turbo-2.1.5" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_CRT_DLL=OFF -DREQUIRE_SIMD=ON \
    -DCMAKE_INSTALL_DOCDIR:PATH=share/doc/libjpeg-turbo -DCMAKE_INSTALL_MANDIR:PATH=share/man
  cmake_build "$triplet" "$prefix" libpng "$cache/src/libpng-1.6.39" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON
  cmake_build "$triplet" "$prefix" libtiff "$cache/src/tiff-4.5.0" \
    -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
    -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djpeg12=OFF -Dpixarlog=ON -Dlibdeflate=OFF -Djbig=OFF -Dlerc=OFF \
    -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON \
    -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a"
  cmake_build "$triplet" "$prefix" googletest /usr/src/googletest -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
  rm -rf "${prefix:?}/bin" "$prefix/share/man" "$prefix/share/doc"
  echo "$recipe" >"$prefix/.lumivue-deps"
  log "$triplet: done in $((SECONDS - start)) s ($(du -sh "$prefix" | cut -f1))"
}

[ $# -gt 0 ] || set -- i686 x86_64
mkdir -p "$cache"
# One builder at a time per machine: clones that start together wait for the first one's result.
exec 9>"$cache/.lock"
flock 9
all_done=1
for arch in "$@"; do
  case $arch in i686) t=i686-w64-mingw32 ;; x86_64) t=x86_64-w64-mingw32 ;; *) t=$arch ;; esac
  [ -f "$cache/$t/.lumivue-deps" ] && [ "$(cat "$cache/$t/.lumivue-deps")" = "$recipe" ] || all_done=0
done
if [ $all_done -eq 0 ]; then
  enable_deb_src
  for s in "${sources[@]}"; do
    # shellcheck disable=SC2086
    fetch_source $s
  done
  for arch in "$@"; do
    build_target "$arch"
  done
fi
