#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the program as it is installed and packaged.
#   package_test.sh install|manual|deb|debian|image|tgz SOURCE_DIR BUILD_DIR
# Exits 77 (skipped) where a tool it needs is missing.
set -euo pipefail
what=$1 source=$2 build=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/varnholt-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || { echo "skipped: $1 is not installed"; exit 77; }; }

expected_run=" genotype file=$source/examples/genotypes.txt
 pattern file=patterns.mat
 Number of pos=         250
 allocation size=         121"

# The files below a folder, one a line, sorted.
files() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort); }

case $what in
install)
  cmake --install "$build" --prefix "$work/prefix" >/dev/null
  [ "$(files "$work/prefix")" = "bin/varnholt
share/doc/varnholt/LICENSE
share/man/man1/varnholt.1" ] || fail "installed files: $(files "$work/prefix")"
  out=$("$work/prefix/bin/varnholt" "$source/examples/genotypes.txt" patterns.mat 250)
  [ "$out" = "$expected_run" ] || fail "installed program printed: $out"
  DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/varnholt >/dev/null
  [ "$(files "$work/stage")" = "opt/varnholt/bin/varnholt
opt/varnholt/share/doc/varnholt/LICENSE
opt/varnholt/share/man/man1/varnholt.1" ] || fail "DESTDIR files: $(files "$work/stage")"
  ;;
manual)
  need groff
  need man
  warnings=$(groff -man -ww -z "$build/varnholt.1" 2>&1)
  [ -z "$warnings" ] || fail "groff warnings: $warnings"
  page=$(MANWIDTH=80 man -l "$build/varnholt.1" 2>&1)
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" FILES DIAGNOSTICS LIMITS; do
    grep -q "^$section" <<<"$page" || fail "rendered page lacks $section"
  done
  ;;
deb)
  need dpkg-deb
  need dpkg-shlibdeps
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null
  deb=$(ls "$work"/out/varnholt_*.deb)
  listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
  [ "$listed" = "./usr/bin/varnholt
./usr/share/doc/varnholt/changelog.gz
./usr/share/doc/varnholt/copyright
./usr/share/man/man1/varnholt.1.gz" ] || fail "package contents: $listed"
  [ "$(dpkg-deb -f "$deb" Package)" = varnholt ] || fail "package name"
  dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "no dependency on the C library"
  dpkg-deb -f "$deb" Maintainer | grep -q 'varnholt' || fail "maintainer field"
  ;;
debian)
  # What a distribution checks before it takes the package: lintian, the
  # hardening of the program, the same bytes from two builds in two
  # folders, and a packager's flags reaching the compiler.
  need lintian
  need hardening-check
  need dpkg-buildflags
  export SOURCE_DATE_EPOCH=1765195200
  package() {  # package FOLDER: builds the release preset there, packs it
    cmake -S "$source" --preset release -B "$1" >/dev/null &&
      cmake --build "$1" >/dev/null &&
      cpack --config "$1/CPackConfig.cmake" -G DEB -B "$1/out" >/dev/null || fail "building in $1"
    ls "$1"/out/varnholt_*.deb
  }
  deb=$(package "$work/one")
  cmp "$deb" "$(package "$work/other folder")" || fail "two builds gave different packages"
  lintian --fail-on error,warning "$deb" || fail "lintian"
  dpkg-deb -x "$deb" "$work/root"
  # Debian's own C start files carry no control-flow marks, so the
  # program cannot either.
  hardening-check --nocfprotection "$work/root/usr/bin/varnholt" || fail "hardening-check"
  (
    eval "$(dpkg-buildflags --export=sh)"
    deb=$(package "$work/packager")
    grep -q -e '-Werror=format-security' "$work/packager/compile_commands.json" ||
      fail "dpkg-buildflags' CXXFLAGS did not reach the compiler"
    grep -q -e '-Wconversion' "$work/packager/compile_commands.json" || fail "the warnings were lost"
    dpkg-deb -x "$deb" "$work/packaged"
    hardening-check --nocfprotection "$work/packaged/usr/bin/varnholt" || fail "hardening-check"
  )
  ;;
image)
  # The two-processor image that packaging/image.sh wrote, checked without
  # starting a container: its index, each image's files, and the example
  # run with the program inside it (chroot, or qemu-aarch64 for arm64).
  need jq
  need chroot
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  mkdir "$work/oci" && tar -xf "$source/build/image/varnholt-$version.oci.tar" -C "$work/oci"
  blob() { echo "$work/oci/blobs/sha256/${1#sha256:}"; }
  list=$(blob "$(jq -r '.manifests[] | select(.annotations["org.opencontainers.image.ref.name"] ==
    "varnholt:'"$version"'") | .digest' "$work/oci/index.json")")
  [ "$(jq -r '[.manifests[].platform | .os + "/" + .architecture] | sort | join(" ")' "$list")" = \
    "linux/amd64 linux/arm64" ] || fail "image index: $(jq -c . "$list")"
  for pair in amd64:static arm64:static-aarch64; do
    arch=${pair%:*} preset=${pair#*:}
    manifest=$(blob "$(jq -r '.manifests[] | select(.platform.architecture == "'"$arch"'") | .digest' "$list")")
    config=$(blob "$(jq -r .config.digest "$manifest")")
    [ "$(jq -c '[.architecture, .config.Entrypoint, .config.WorkingDir,
      .config.Labels["org.opencontainers.image.version"]]' "$config")" = \
      '["'"$arch"'",["/usr/local/bin/varnholt"],"/data","'"$version"'"]' ] ||
      fail "$arch image config: $(jq -c .config "$config")"
    root=$work/root-$arch
    mkdir "$root"
    for layer in $(jq -r '.layers[].digest' "$manifest"); do tar -xzf "$(blob "$layer")" -C "$root"; done
    [ "$(files "$root")" = "usr/local/bin/varnholt" ] || fail "$arch image files: $(files "$root")"
    [ "$(cd "$root" && find . -type d | sort | tr '\n' ' ')" = ". ./usr ./usr/local ./usr/local/bin " ] ||
      fail "$arch image folders"
    # The very program of the cluster tarball.
    cpack --config "$source/build/$preset/CPackConfig.cmake" -G TGZ -B "$work/tgz-$arch" >/dev/null
    mkdir "$work/unpacked-$arch"
    tar -xzf "$work/tgz-$arch"/varnholt-*.tar.gz -C "$work/unpacked-$arch"
    cmp "$root/usr/local/bin/varnholt" "$work/unpacked-$arch/bin/varnholt" ||
      fail "$arch image program differs from the tarball's"
    mkdir "$root/data"
    cp "$source/examples/genotypes.txt" "$root/data/"
    if [ "$arch" = amd64 ]; then
      genotypes=/data/genotypes.txt
      out=$(chroot "$root" /usr/local/bin/varnholt "$genotypes" patterns.mat 250)
    else
      genotypes=$root/data/genotypes.txt
      out=$(qemu-aarch64 "$root/usr/local/bin/varnholt" "$genotypes" patterns.mat 250)
    fi
    [ "$out" = "${expected_run/"$source/examples/genotypes.txt"/$genotypes}" ] ||
      fail "$arch image program printed: $out"
  done
  ;;
tgz)
  # The archive a cluster user unpacks into a prefix of their own.
  need tar
  cpack --config "$build/CPackConfig.cmake" -G TGZ -B "$work/out" >/dev/null
  # Another processor's archive names its emulator: VARNHOLT_EMULATOR=qemu-aarch64.
  emulator=${VARNHOLT_EMULATOR:-}
  processor=${emulator:+${emulator#qemu-}}
  tgz=$(ls "$work"/out/varnholt-*.tar.gz)
  [[ $(basename "$tgz") =~ ^varnholt-[0-9.]+-$(uname -s)-${processor:-$(uname -m)}\.tar\.gz$ ]] ||
    fail "archive name: $(basename "$tgz")"
  listed=$(tar -tzf "$tgz" | grep -v '/$' | sort)
  [ "$listed" = "bin/varnholt
share/doc/varnholt/LICENSE
share/man/man1/varnholt.1" ] || fail "archive contents: $listed"
  mkdir "$work/local" && tar -xzf "$tgz" -C "$work/local"
  out=$($emulator "$work/local/bin/varnholt" "$source/examples/genotypes.txt" patterns.mat 250)
  [ "$out" = "$expected_run" ] || fail "unpacked program printed: $out"
  ;;
*)
  fail "unknown check $what"
  ;;
esac
echo "ok: $what"
