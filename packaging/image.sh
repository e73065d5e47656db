#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds one container image of varnholt for x86-64 and aarch64 and writes
# it as an OCI archive: build/image/varnholt-VERSION.oci.tar, a manifest
# list tagged varnholt:VERSION with one image per processor. Each image
# holds the stripped static program of the static and static-aarch64
# presets, the same as in their tarballs. Needs podman, Debian's
# g++-aarch64-linux-gnu and CMake; pulls nothing, so no network is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v podman >/dev/null || { echo "image.sh: needs podman" >&2; exit 1; }

context=build/image/context
rm -rf "$context"
for pair in static:amd64 static-aarch64:arm64; do
  preset=${pair%:*} arch=${pair#*:}
  cmake --workflow --preset "$preset" >/dev/null
  cmake --install "build/$preset" --prefix "$context/stage-$arch" --strip >/dev/null
  mkdir -p "$context/$arch"
  mv "$context/stage-$arch/bin/varnholt" "$context/$arch/varnholt"
  rm -rf "$context/stage-$arch"
done
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
  podman build --quiet --platform "linux/$arch" --manifest "$tag" --timestamp "$epoch" \
    --build-arg "VERSION=$version" "${labels[@]}" -f packaging/Containerfile "$context" >/dev/null
done
rm -f "$archive"
podman manifest push --quiet --all "$tag" "oci-archive:$archive:$tag"
echo "$archive"
