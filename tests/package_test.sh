#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the program as it is installed and packaged.
#   package_test.sh install|manual|version|deb|debian|image|tgz|workflow|cluster SOURCE_DIR BUILD_DIR
# Exits 77 (skipped) where a tool it needs is missing.
set -euo pipefail
what=$1 source=$2 build=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/varnholt-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Daemons live in /usr/sbin, which a user's PATH may lack.
need() {
  PATH=$PATH:/usr/sbin:/sbin command -v "$1" >/dev/null || { echo "skipped: $1 is not installed"; exit 77; }
}

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
  warnings=$(groff -t -man -ww -z "$build/varnholt.1" 2>&1)
  [ -z "$warnings" ] || fail "groff warnings: $warnings"
  page=$(MANWIDTH=80 man -l "$build/varnholt.1" 2>&1)
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" FILES DIAGNOSTICS LIMITS; do
    grep -q "^$section" <<<"$page" || fail "rendered page lacks $section"
  done
  # The help text's exit statuses are the manual's: each "N when WHAT" of
  # the help starts the manual's paragraph for N.
  statuses=$(MANWIDTH=10000 man -l "$build/varnholt.1" 2>&1 |
    sed -n '/^EXIT STATUS/,/^FILES/p' | sed 's/^ *//' | paste -sd ' ' | tr -s ' ')
  help=$("$build/varnholt" --help | sed -n '/^Exit status:/,/^$/p' | paste -sd ' ' |
    sed 's/^Exit status: //; s/\. *$//')
  [ -n "$help" ] || fail "the help text states no exit status"
  while IFS= read -r clause; do
    code=${clause%% when *} words=${clause#* when }
    grep -qiF -e " $code $words." -e " $code $words:" <<<"$statuses" ||
      fail "the manual's exit status $code does not start: $words"
  done < <(sed 's/; \([0-9]\) when /\n\1 when /g' <<<"$help")
  ;;
version)
  # The version stands in CMakeLists.txt alone; the program, the manual and
  # the image take it from there, and every other file that names a
  # version of varnholt names that one.
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  [ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
  [ "$("$build/varnholt" --version)" = "varnholt $version" ] || fail "--version disagrees"
  grep -q "varnholt $version" "$build/varnholt.1" || fail "the manual names another version"
  head -n 1 "$source/packaging/debian/changelog" | grep -qF "varnholt ($version)" ||
    fail "packaging/debian/changelog does not start with $version"
  others=$(cd "$source" && grep -rnoE 'varnholt[-_:( ]+[0-9]+\.[0-9]+\.[0-9]+' \
    --exclude-dir=build --exclude-dir=.git . | grep -vE "[-_:( ]${version//./\\.}\$" || true)
  [ -z "$others" ] || fail "another version than $version: $others"
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
  # Loading the C++ runtime would cost more than counting a small file.
  ! dpkg-deb -f "$deb" Depends | grep -q 'libstdc++' || fail "depends on the C++ runtime"
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
  # starting a container: its index and, for each image, its size, its
  # program and the task scripts of workflow engines, run as a container
  # runtime runs them: the layers unpacked, then chroot in new mount and
  # PID namespaces with /proc and /dev mounted (arm64 through qemu's
  # binfmt_misc handler).
  need jq
  need chroot
  need unshare
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  mkdir "$work/oci" && tar -xf "$source/build/image/varnholt-$version.oci.tar" -C "$work/oci"
  blob() { echo "$work/oci/blobs/sha256/${1#sha256:}"; }
  list=$(blob "$(jq -r '.manifests[] | select(.annotations["org.opencontainers.image.ref.name"] ==
    "varnholt:'"$version"'") | .digest' "$work/oci/index.json")")
  [ "$(jq -r '[.manifests[].platform | .os + "/" + .architecture] | sort | join(" ")' "$list")" = \
    "linux/amd64 linux/arm64" ] || fail "image index: $(jq -c . "$list")"
  # arm64 programs start through qemu-aarch64-static, which the F flag
  # keeps open for use inside a chroot.
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || fail "cannot mount $binfmt"
  [ -e "$binfmt/qemu-aarch64" ] || cat /usr/lib/binfmt.d/qemu-aarch64.conf >"$binfmt/register" ||
    fail "cannot register qemu-aarch64 (Debian's qemu-user-static)"
  grep -q '^flags:.*F' "$binfmt/qemu-aarch64" || fail "qemu-aarch64 is registered without the F flag"

  expected=${expected_run/"$source/examples/genotypes.txt"/genotypes.txt}
  inimage() {  # inimage COMMAND...: runs COMMAND in the image, from its task folder
    env -i "$path" HOME=/ unshare --mount --pid --fork --kill-child -- /bin/sh -c '
      mount -t proc proc "$0/proc" && mount --rbind /dev "$0/dev" &&
        exec chroot "$0" /bin/sh -c "cd /work/task && exec \"\$@\"" sh "$@"' "$root" "$@"
  }
  row() {  # row ENGINE EXPECTED COMMAND...: one way an engine runs a task
    local engine=$1 want=$2 got
    shift 2
    got=$(inimage "$@" 2>&1) || fail "$arch, $engine: status $?: $got"
    [ "$got" = "$want" ] || fail "$arch, $engine printed: $got"
  }
  for pair in amd64:static arm64:static-aarch64; do
    arch=${pair%:*} preset=${pair#*:}
    manifest=$(blob "$(jq -r '.manifests[] | select(.platform.architecture == "'"$arch"'") | .digest' "$list")")
    config=$(blob "$(jq -r .config.digest "$manifest")")
    root=$work/root-$arch
    mkdir "$root"
    for layer in $(jq -r '.layers[].digest' "$manifest"); do tar -xzf "$(blob "$layer")" -C "$root"; done
    size=$(du -sb "$root" | cut -f1)
    echo "$arch image: $size bytes unpacked"
    [ "$size" -lt $((8 << 20)) ] || fail "$arch image is $size bytes unpacked, over 8 MiB"
    # The very program of the cluster tarball.
    cpack --config "$source/build/$preset/CPackConfig.cmake" -G TGZ -B "$work/tgz-$arch" >/dev/null
    mkdir "$work/unpacked-$arch"
    tar -xzf "$work/tgz-$arch"/varnholt-*.tar.gz -C "$work/unpacked-$arch"
    cmp "$root/usr/local/bin/varnholt" "$work/unpacked-$arch/bin/varnholt" ||
      fail "$arch image program differs from the tarball's"
    [ "$(jq -r .config.Entrypoint "$config")" = null ] || fail "$arch image has an entrypoint"
    path=$(jq -r '.config.Env[] | select(startswith("PATH="))' "$config")
    mapfile -t command < <(jq -r '.config.Cmd[]' "$config")
    # A task folder as an engine mounts it: the task script, the example,
    # and the traced wrapper.
    mkdir -p "$root/proc" "$root/dev" "$root/work/task"
    cp "$source/examples/genotypes.txt" "$root/work/task/"
    echo 'varnholt genotypes.txt patterns.mat 250' >"$root/work/task/.command.sh"
    printf 'varnholt genotypes.txt patterns.mat 250\nsleep 2\n' >"$root/work/task/sleeps.sh"
    cp "$source/tests/traced_task.sh" "$root/work/task/.command.run"
    row "Nextflow" "$expected" /bin/bash -ue .command.sh
    row "Nextflow, traced" "$expected" /bin/bash .command.run sleeps.sh
    row "Snakemake, Apptainer" "$expected" bash -c 'set -euo pipefail; varnholt genotypes.txt patterns.mat 250'
    row "default command" "Usage: varnholt GENOTYPEFILE PATTERNFILE NPOS" \
      /bin/sh -c '"$@" | head -n 1' sh "${command[@]}"
    trace=$(cat "$root/work/task/.command.trace")
    echo "$arch traced task: $(echo $trace)"
    awk -F= '$2 > 0 { n++ } END { exit n != 2 }' <<<"$trace" || fail "$arch traced task: $trace"
  done
  ;;
workflow)
  # The Snakemake workflow and the CWL tool of examples/workflow, run by
  # the engines themselves with this build's program on PATH.
  need snakemake
  need cwltool
  need jq
  PATH=$(cd "$build" && pwd):$PATH
  run=$work/run
  mkdir -p "$run/genotypes"
  : >"$run/genotypes/empty.txt"
  printf 'a\nb\nc' >"$run/genotypes/unterminated.txt"
  seq 1 3000 >"$run/genotypes/lines.txt"
  snakemake --cores 2 --snakefile "$source/examples/workflow/Snakefile" --directory "$run" \
    >"$work/snakemake.log" 2>&1 || fail "snakemake: $(tail -n 20 "$work/snakemake.log")"
  [ "$(cat "$run/sizes.tsv")" = "$(printf 'empty\t1\nlines\t3001\nunterminated\t4')" ] ||
    fail "sizes.tsv: $(cat "$run/sizes.tsv")"
  # A file that cannot be counted fails the workflow.
  mkdir "$run/genotypes/folder.txt"
  ! snakemake --cores 2 --snakefile "$source/examples/workflow/Snakefile" --directory "$run" \
    >"$work/snakemake.log" 2>&1 || fail "snakemake took a folder for a genotype file"
  tool=$source/examples/workflow/varnholt.cwl
  cwltool --validate "$tool" >"$work/cwltool.log" 2>&1 || fail "cwltool --validate: $(cat "$work/cwltool.log")"
  out=$(cd "$work" && cwltool --quiet --no-container --outdir "$work/cwl" "$tool" \
    --genotypes "$source/examples/genotypes.txt" --npos 250 2>"$work/cwltool.log") ||
    fail "cwltool: $(cat "$work/cwltool.log")"
  [ "$(jq .allocation_size <<<"$out")" = 121 ] || fail "cwltool printed: $out"
  # The runner stages the genotype file under a path of its own.
  [ "$(tail -n 3 "$work/cwl/report.txt")" = "$(tail -n 3 <<<"$expected_run")" ] ||
    fail "report.txt: $(cat "$work/cwl/report.txt")"
  # A number of positions that five characters cannot hold stops the step
  # before varnholt starts.
  ! (cd "$work" && cwltool --quiet --no-container --outdir "$work/refused" "$tool" \
    --genotypes "$source/examples/genotypes.txt" --npos 250000 >/dev/null 2>"$work/cwltool.log") ||
    fail "cwltool took --npos 250000"
  grep -q -e '-9999\.\.99999' "$work/cwltool.log" || fail "cwltool: $(tail -n 5 "$work/cwltool.log")"
  [ ! -e "$work/refused/report.txt" ] || fail "varnholt ran with --npos 250000"
  # A failed run hands on no size, only its failure.
  seq 1 100 | gzip >"$work/g.gz"
  out=$(cd "$work" && cwltool --quiet --no-container --outdir "$work/failed" "$tool" \
    --genotypes "$work/g.gz" --npos 250 2>"$work/cwltool.log") && fail "cwltool succeeded on gzip: $out"
  [ "$(jq .allocation_size <<<"$out")" = null ] || fail "cwltool handed on a size of gzip: $out"
  # The Snakefile refuses the same numbers before any job runs.
  rm -rf "$run/genotypes/folder.txt" "$run/sizes.tsv"
  ! snakemake --cores 2 --snakefile "$source/examples/workflow/Snakefile" --directory "$run" \
    --config npos=123456 >"$work/snakemake.log" 2>&1 || fail "snakemake took npos=123456"
  grep -q -e '-9999\.\.99999' "$work/snakemake.log" || fail "snakemake: $(tail -n 5 "$work/snakemake.log")"
  [ ! -e "$run/sizes.tsv" ] || fail "snakemake ran a job with npos=123456"
  ;;
cluster)
  # The same workflow and tool on a one-node Slurm cluster (tests/slurm.sh):
  # Snakemake through the Slurm profile, the CWL tool through Toil, each
  # job a Slurm job that asks for what its rule or tool declares.
  [ "$(id -u)" = 0 ] || { echo "skipped: the cluster test starts Slurm's daemons, which needs root"; exit 77; }
  need slurmctld
  need slurmd
  need munged
  need toil-cwl-runner
  need snakemake
  need jq
  PATH=$(cd "$build" && pwd):$PATH
  slurm=$work/slurm
  trap '"$source/tests/slurm.sh" down "$slurm"; rm -rf "$work"' EXIT
  conf=$("$source/tests/slurm.sh" up "$slurm") || fail "the cluster did not come up"
  eval "$conf"
  run=$work/run
  mkdir -p "$run/genotypes"
  seq 1 3000000 >"$run/genotypes/big.txt"
  : >"$run/genotypes/empty.txt"
  printf 'a\nb\nc' >"$run/genotypes/unterminated.txt"
  printf 'rs1\nrs2\n' >"$run/genotypes/with blank.txt"
  for i in 1 2 3 4; do seq 1 "${i}00" >"$run/genotypes/part$i.txt"; done
  cp -r "$run" "$work/local"
  # Snakemake 7 hands the status script's path to the shell unquoted: a copy
  # of the profile in a folder without blanks.
  cp -r "$source/examples/workflow/slurm" "$work/profile"
  onslurm() {  # onslurm DIR: the workflow on DIR through the Slurm profile
    timeout 600 snakemake --profile "$work/profile" --snakefile "$source/examples/workflow/Snakefile" \
      --directory "$1" >"$work/snakemake.log" 2>&1
  }
  start=$SECONDS
  onslurm "$run" || fail "snakemake on Slurm: $(tail -n 20 "$work/snakemake.log")"
  took=$((SECONDS - start)) start=$SECONDS
  snakemake --cores 2 --snakefile "$source/examples/workflow/Snakefile" --directory "$work/local" \
    >"$work/local.log" 2>&1 || fail "snakemake --cores 2: $(tail -n 20 "$work/local.log")"
  echo "8 files: $took s on Slurm, $((SECONDS - start)) s with --cores 2"
  expected=$(printf 'big\t3000001\nempty\t1\npart1\t101\npart2\t201\npart3\t301\npart4\t401\nunterminated\t4\nwith blank\t3')
  [ "$(cat "$run/sizes.tsv")" = "$expected" ] || fail "sizes.tsv: $(cat "$run/sizes.tsv")"
  # Every size job was a Slurm job that asked for the memory the rule declares.
  declared=$(sed -n 's/^ *mem_mb=\([0-9]*\),$/\1/p' "$source/examples/workflow/Snakefile")
  mapfile -t ids < <(sed -n "s/^Submitted job [0-9]* with external jobid '\([0-9]*\).*/\1/p" "$work/snakemake.log")
  [ "${#ids[@]}" = 8 ] || fail "Slurm jobs: ${ids[*]}"
  for id in "${ids[@]}"; do
    job=$(scontrol show job --oneliner "$id")
    [[ $job == *" JobState=COMPLETED "* && $job == *" MinMemoryNode=${declared}M "* ]] ||
      fail "Slurm job $id: $job"
  done
  echo "each size job asked Slurm for ${declared} MiB"
  # A file varnholt cannot count fails its job and the workflow; so does a
  # job that Slurm ends: a FIFO without a writer never opens, and is cancelled.
  mkdir -p "$work/folder/genotypes/x.txt"
  ! onslurm "$work/folder" || fail "snakemake on Slurm took a folder for a genotype file"
  mkdir -p "$work/stuck/genotypes" && mkfifo "$work/stuck/genotypes/stuck.txt"
  (
    for _ in $(seq 240); do
      id=$(squeue -h -t RUNNING -o %i | head -n 1)
      if [ -n "$id" ]; then scancel "$id"; break; fi
      sleep 0.5
    done
  ) &
  ! onslurm "$work/stuck" || fail "snakemake on Slurm succeeded with a cancelled job"
  wait
  grep -q "Error executing rule size on cluster" "$work/snakemake.log" ||
    fail "snakemake on Slurm: $(tail -n 20 "$work/snakemake.log")"
  # The CWL tool as a Slurm job of Toil's, asking for the tool's memory
  # rather than Toil's default of 2 GiB.
  tool=$source/examples/workflow/varnholt.cwl
  out=$(cd "$work" && timeout 600 toil-cwl-runner --batchSystem slurm --no-container \
    --jobStore "$work/jobstore" --outdir "$work/toil" "$tool" \
    --genotypes "$run/genotypes/big.txt" --npos 250 2>"$work/toil.log") ||
    fail "toil-cwl-runner: $(tail -n 20 "$work/toil.log")"
  [ "$(jq -c '.allocation_size | [type, .]' <<<"$out")" = '["number",3000001]' ] ||
    fail "toil-cwl-runner printed: $out"
  ram=$(sed -n 's/^ *ramMin: \([0-9]*\)$/\1/p' "$tool")
  jobs=$(scontrol show job --oneliner | grep ' JobName=toil_job_') || fail "no Slurm job of Toil's"
  ! grep -v -e " MinMemoryNode=${ram}M " <<<"$jobs" || fail "Toil asked Slurm for other than ${ram} MiB"
  echo "Toil's job asked Slurm for ${ram} MiB"
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
share/doc/varnholt/libc6.copyright
share/doc/varnholt/libstdc++6.copyright
share/man/man1/varnholt.1" ] || fail "archive contents: $listed"
  mkdir "$work/local" && tar -xzf "$tgz" -C "$work/local"
  # Its manual page, written by that processor's build, is the native one.
  if [ -n "${VARNHOLT_NATIVE_PAGE:-}" ]; then
    cmp "$VARNHOLT_NATIVE_PAGE" "$work/local/share/man/man1/varnholt.1" ||
      fail "the archive's manual page differs from $VARNHOLT_NATIVE_PAGE"
  fi
  out=$($emulator "$work/local/bin/varnholt" "$source/examples/genotypes.txt" patterns.mat 250)
  [ "$out" = "$expected_run" ] || fail "unpacked program printed: $out"
  ;;
*)
  fail "unknown check $what"
  ;;
esac
echo "ok: $what"
