#!/usr/bin/env bash
# Runs a command in a session of its own whose scheduling group weighs most (as root), so that the
# builds of other sessions on a shared machine disturb a measurement less: the kernel's autogroups
# share the processors between sessions whatever the niceness inside them.
# Usage: ORVO_BENCH_PREFIX=bench/read_paths/own_scheduling_group.sh bench/read_paths/run_read_paths_bench.sh ...
exec setsid bash -c 'echo -20 > /proc/$$/autogroup; exec "$@"' _ "$@"
