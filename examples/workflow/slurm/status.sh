#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The cluster status command of the Slurm profile: prints running, success
# or failed for the job id Snakemake gives, as Slurm tells it. Any doubt
# (the controller does not answer) is "running": Snakemake asks again, and
# a status command that fails would end the whole workflow.
jobid=${1%%;*}
if out=$(scontrol show job --oneliner "$jobid" 2>&1); then
  state=$(sed -n 's/.* JobState=\([A-Z_]*\).*/\1/p' <<<"$out")
elif [[ $out == *"Invalid job id"* ]]; then
  # Gone from the controller's memory: ask the accounting database, where
  # there is one.
  state=$(sacct --noheader --allocations --jobs "$jobid" --format State 2>/dev/null | awk 'NR == 1 { print $1 }')
  state=${state:-UNKNOWN}
fi
case ${state:-} in
COMPLETED) echo success ;;
"" | PENDING | CONFIGURING | RUNNING | COMPLETING | SUSPENDED | REQUEUED* | RESIZING | SIGNALING | STAGE_OUT | RESV_DEL_HOLD | REQUEUE_*) echo running ;;
*) echo failed ;; # FAILED, TIMEOUT, CANCELLED, OUT_OF_MEMORY, NODE_FAIL, BOOT_FAIL, DEADLINE, PREEMPTED, UNKNOWN
esac
