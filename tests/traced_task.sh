#!/bin/bash
# SPDX-License-Identifier: MIT
# What a workflow engine's traced task wrapper does inside the task's
# container (Nextflow's .command.run with tracing on), with the image's
# own tools: runs the task script in the background, samples its process
# tree with ps and /proc/PID/status while it runs, and writes the task's
# wall time (ms) and peak resident memory (KiB) to .command.trace.
#   traced_task.sh [TASKSCRIPT]      (.command.sh by default)
# Exits with the task's status.
task=${1:-.command.sh}
start=$EPOCHREALTIME
/bin/bash -ue "$task" &
pid=$!

# The task and every process below it, one pid a line.
tree() {
  ps -e -o pid= -o ppid= | awk -v top="$pid" '
    { parent[$1] = $2 }
    END {
      for (p in parent) {
        q = p
        while (q != top && q in parent) q = parent[q]
        if (q == top) print p
      }
    }'
}

peak=0
while kill -0 "$pid" 2>/dev/null; do
  rss=0
  for p in $(tree); do
    kb=$(awk '/^VmRSS:/ { print $2 }' "/proc/$p/status" 2>/dev/null)
    rss=$((rss + ${kb:-0}))
  done
  if [ "$rss" -gt "$peak" ]; then peak=$rss; fi
  sleep 0.1
done
wait "$pid"
status=$?
end=$EPOCHREALTIME
printf 'realtime=%s\npeak_rss=%s\n' $(((${end/./} - ${start/./}) / 1000)) "$peak" >.command.trace
exit "$status"
