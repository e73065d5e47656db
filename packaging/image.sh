#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds one container image of varnholt for x86-64 and aarch64 and writes
# it as an OCI archive: build/image/varnholt-VERSION.oci.tar, a manifest
# list tagged varnholt:VERSION with one image per processor. Each image
# holds the stripped static program of the static and static-aarch64
# presets (the same as in their tarballs) and, for the task scripts of
# workflow engines, Debian's bash-static as /bin/bash and busybox-static
# with its tools as links to it, /bin/sh among them. Needs podman,
# Debian's g++-aarch64-linux-gnu, CMake, and apt-get to fetch the two
# packages for both processors (for arm64, once:
# dpkg --add-architecture arm64 && apt-get update); pulls nothing from a
# container registry.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in podman apt-get dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "image.sh: needs $tool" >&2; exit 1; }
done

bundled=(bash-static busybox-static)
debs=build/image/debs
rm -rf "$debs"
mkdir -p "$debs"
# apt-get download drops its privileges to _apt where it can.
chmod 0777 "$debs"
for arch in amd64 arm64; do
  if ! (cd "$debs" && apt-get download -q "${bundled[@]/%/:$arch}" >/dev/null 2>&1); then
    echo "image.sh: cannot fetch ${bundled[*]/%/:$arch} with apt-get download (for arm64, first: dpkg --add-architecture arm64 && apt-get update)" >&2
    exit 1
  fi
done

context=build/image/context
rm -rf "$context"
# Every tool of busybox becomes a link to it, where bash is not: the list
# of the build machine's own busybox, whose Debian configuration is the
# same on every processor. linuxrc is for a boot image, not a container.
mkdir -p "$context"
dpkg-deb -x "$(ls "$debs"/busybox-static_*_"$(dpkg --print-architecture)".deb)" "$context/native"
tools=$("$context/native/bin/busybox" --list-full | grep -vx linuxrc)
rm -rf "$context/native"
for pair in static:amd64 static-aarch64:arm64; do
  preset=${pair%:*} arch=${pair#*:}
  cmake --workflow --preset "$preset" >/dev/null
  stage=$context/stage-$arch root=$context/$arch
  cmake --install "build/$preset" --prefix "$stage" --strip >/dev/null
  mkdir -p "$root/usr/local/bin" "$root/bin" "$root/usr/share/doc"
  mv "$stage/bin/varnholt" "$root/usr/local/bin/varnholt"
  # The licence and the notices of what the static program carries.
  mv "$stage/share/doc/varnholt" "$root/usr/share/doc/varnholt"
  rm -rf "$stage"
  for package in "${bundled[@]}"; do
    deb=$(ls "$debs/${package}"_*_"$arch".deb)
    dpkg-deb -x "$deb" "$stage-$package"
    mkdir "$root/usr/share/doc/$package"
    cp "$stage-$package/usr/share/doc/$package/copyright" "$root/usr/share/doc/$package/"
  done
  cp "$stage-bash-static/bin/bash-static" "$root/bin/bash"
  cp "$stage-busybox-static/bin/busybox" "$root/bin/busybox"
  rm -rf "$stage"-*
  for tool in $tools; do
    [ -e "$root/$tool" ] || [ -L "$root/$tool" ] && continue
    mkdir -p "$root/$(dirname "$tool")"
    ln -s /bin/busybox "$root/$tool"
  done
  mkdir -m 1777 "$root/tmp"
done
chmod -R u=rwX,go=rX "$context"
chmod 1777 "$context"/*/tmp

# The one version, as project() declares it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/static/CMakeCache.txt)
tag=varnholt:$version
archive=build/image/varnholt-$version.oci.tar

# Where the repository has a public address, the image names it.
labels=()
source=$(git config --get remote.origin.url 2>/dev/null || true)
if [[ $source =~ ^git@([^:/]+):(.+)$ ]]; then  # git@host:path, as cloned over ssh
  source=https://${BASH_REMATCH[1]}/${BASH_REMATCH[2]}
fi
if [[ $source == https://* ]]; then
  labels=(--label "org.opencontainers.image.source=${source%.git}")
fi
# Times from the last commit, so that the same sources make the same image.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}

# Anew each time: whatever holds the name now, a list or an image loaded
# from an earlier archive, gives it up.
podman manifest rm "$tag" >/dev/null 2>&1 || podman rmi --force "$tag" >/dev/null 2>&1 || true
podman manifest create "$tag" >/dev/null
for arch in amd64 arm64; do
  # Each bundled package's exact Debian version and source, so that anyone
  # can get the matching source packages.
  packages=()
  for package in "${bundled[@]}"; do
    deb=$(ls "$debs/${package}"_*_"$arch".deb)
    packageversion=$(dpkg-deb -f "$deb" Version)
    # No Source field: the source package has the binary package's name
    # and version.
    sourcepackage=$(dpkg-deb -f "$deb" Source)
    packages+=(--label "org.debian.package.$package=$packageversion")
    packages+=(--label "org.debian.source.$package=${sourcepackage:-$package ($packageversion)}")
  done
  podman build --quiet --no-cache --platform "linux/$arch" --manifest "$tag" --timestamp "$epoch" \
    --build-arg "VERSION=$version" "${labels[@]}" "${packages[@]}" -f packaging/Containerfile \
    "$context" >/dev/null
done
rm -f "$archive"
podman manifest push --quiet --all "$tag" "oci-archive:$archive:$tag"
echo "$archive"
