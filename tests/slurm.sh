#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A one-node Slurm cluster on this machine, every file of it in one folder:
# for the cluster tests, and for trying the cluster path by hand. Needs
# root and Debian's munge, slurmctld, slurmd and slurm-client.
#
#   tests/slurm.sh up DIR     starts munged, slurmctld and slurmd, waits until
#                             the node is idle, prints the SLURM_CONF to export
#   tests/slurm.sh down DIR   cancels the jobs left, stops the daemons that
#                             up started and waits until they have exited
#
# Nothing is written outside DIR: not /etc/slurm, not /etc/munge. Slurm's
# cgroup plugins are off (proctrack/linuxproc, task/none), so memory and
# core limits are not enforced here.
set -euo pipefail
usage() { echo "usage: tests/slurm.sh up|down DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
what=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
daemons=(slurmd slurmctld munged)
pidfile() { echo "$dir/run/$1.pid"; }

# Prints the pid that the daemon's pid file names, if that process still runs.
running() {
  local pid
  pid=$(cat "$(pidfile "$1")" 2>/dev/null) || return 1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

down() {
  local name pid waited
  # Jobs still running would outlive the daemons: cancel them first.
  if running slurmctld >/dev/null && [ -e "$dir/slurm.conf" ]; then
    export SLURM_CONF=$dir/slurm.conf
    squeue -h -o %i 2>/dev/null | xargs -r scancel --quiet 2>/dev/null || true
    for _ in $(seq 100); do
      [ -z "$(squeue -h -o %i 2>/dev/null)" ] && break
      sleep 0.1
    done
  fi
  for name in "${daemons[@]}"; do
    pid=$(running "$name") || continue
    kill "$pid"
    for waited in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
      echo "slurm.sh: $name ($pid) still runs after 10 s; killing it" >&2
      kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$(pidfile "$name")"
  done
}

# Says why the cluster did not come up, stops what did, and fails.
giveup() {
  echo "slurm.sh: $1" >&2
  for log in "$dir"/log/*.log; do
    [ -e "$log" ] && { echo "--- $log" >&2; tail -n 15 "$log" >&2; }
  done
  down
  exit 1
}

# A TCP port that nothing on this machine listens on.
freeport() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 40000))
    ss -Hltn "sport = :$port" 2>/dev/null | grep -q . || { echo "$port"; return; }
  done
  giveup "no free port found"
}

up() {
  [ "$(id -u)" = 0 ] || { echo "slurm.sh: run as root" >&2; exit 1; }
  # slurm.conf cannot name a path with a blank in it.
  [[ $dir != *[[:space:]]* ]] || { echo "slurm.sh: $dir has a blank in it" >&2; exit 1; }
  for tool in munged mungekey slurmctld slurmd sinfo; do
    command -v "$tool" >/dev/null || { echo "slurm.sh: $tool is missing (Debian: munge slurmctld slurmd slurm-client)" >&2; exit 1; }
  done
  for name in "${daemons[@]}"; do
    if pid=$(running "$name"); then giveup "$name already runs from $dir ($pid)"; fi
  done
  mkdir -p "$dir/munge" "$dir/run" "$dir/log" "$dir/state" "$dir/spool"
  chmod 700 "$dir/munge"
  [ -e "$dir/munge/munge.key" ] || mungekey --create --keyfile="$dir/munge/munge.key"
  munged --force --socket="$dir/munge/munge.socket" --key-file="$dir/munge/munge.key" \
    --pid-file="$(pidfile munged)" --log-file="$dir/log/munged.log" \
    --seed-file="$dir/munge/munged.seed" || giveup "munged did not start"

  local host node
  host=$(hostname -s)
  # The node as slurmd sees it: its processors and memory.
  node=$(slurmd -C | head -n 1)
  cat >"$dir/slurm.conf" <<EOF
# A one-node cluster made by tests/slurm.sh: every file in $dir.
ClusterName=varnholt
SlurmctldHost=$host
SlurmctldPort=$(freeport)
SlurmdPort=$(freeport)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$(pidfile slurmctld)
SlurmdPidFile=$(pidfile slurmd)
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
SchedulerType=sched/backfill
MpiDefault=none
ReturnToService=2
MinJobAge=600
$node
PartitionName=main Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF=$dir/slurm.conf
  slurmctld || giveup "slurmctld did not start"
  slurmd || giveup "slurmd did not start"
  local state=""
  for _ in $(seq 60); do
    state=$(sinfo -h -N -n "$host" -o %T 2>/dev/null || true)
    [ "$state" = idle ] && break
    sleep 0.5
  done
  [ "$state" = idle ] || giveup "the node is ${state:-unknown}, not idle, after 30 s"
  printf 'export SLURM_CONF=%q\n' "$dir/slurm.conf"
}

case $what in
up) up ;;
down) down ;;
*) usage ;;
esac
