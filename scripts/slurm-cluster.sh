#!/usr/bin/env bash
# A real single-node Slurm cluster in a folder of its own, for the cluster
# test tier: munged, slurmctld and slurmd from Debian's packages (installed by
# scripts/install-deps.sh), started without systemd and stopped by process id.
#
#   scripts/slurm-cluster.sh start DIR   # prints the line to export SLURM_CONF
#   scripts/slurm-cluster.sh stop DIR    # stops the daemons started in DIR
#   scripts/slurm-cluster.sh run COMMAND...
#       starts a cluster in a new temporary folder, runs the command with
#       SLURM_CONF set, then stops the cluster and removes the folder, also
#       when the command fails or is interrupted; exits with its status
#
# Each cluster takes free ports of its own, so that clusters of several
# builds or worktrees can run on one machine at the same time.
set -euo pipefail

usage() {
  echo "usage: $0 start|stop DIR" >&2
  exit 2
}

[ $# -ge 2 ] || usage
action=$1
dir=$2
if [ "$action" = run ]; then
  shift
  dir=$(mktemp -d "${TMPDIR:-/tmp}/mixora-slurm.XXXXXX")
fi

stop_cluster() {
  local name pid
  # slurmd first, so that no job step outlives its daemon; munged last,
  # because the other two need it to say goodbye.
  for name in slurmd slurmctld munged; do
    [ -f "$dir/$name.pid" ] || continue
    pid=$(cat "$dir/$name.pid")
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill -TERM "$pid" 2>/dev/null || true
      for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/$name.pid"
  done
}

port_free() {
  [ -z "$(ss -Htln "sport = :$1" 2>/dev/null)" ]
}

# Two neighbouring free ports from a random start.
free_ports() {
  local port
  for _ in $(seq 200); do
    port=$((20000 + RANDOM % 30000))
    if port_free "$port" && port_free $((port + 1)); then
      echo "$port"
      return 0
    fi
  done
  echo "no free ports found" >&2
  return 1
}

# wait_for NAME PIDFILE TRIES COMMAND...: until COMMAND succeeds, giving up
# at once when the daemon has died.
wait_for() {
  local what=$1 pidfile=$2 tries=$3
  shift 3
  for _ in $(seq "$tries"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    kill -0 "$(cat "$pidfile")" 2>/dev/null || break
    sleep 0.1
  done
  echo "slurm-cluster: $what did not come up; logs in $dir" >&2
  return 1
}

node_idle() {
  [ "$(sinfo -h -n "$node" -o %t 2>/dev/null)" = "idle" ]
}

start_cluster() {
  for program in munged munge unmunge slurmctld slurmd sinfo scontrol; do
    command -v "$program" >/dev/null || {
      echo "slurm-cluster: $program is missing; run scripts/install-deps.sh" >&2
      exit 1
    }
  done
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  mkdir -p "$dir/munge" "$dir/state" "$dir/spool"
  chmod 700 "$dir/munge"
  # A failed start leaves nothing running.
  trap 'stop_cluster' ERR

  dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
  chmod 400 "$dir/munge/munge.key"
  munged --key-file="$dir/munge/munge.key" --socket="$dir/munge/socket" \
    --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" \
    --seed-file="$dir/munge/seed" --force
  cp "$dir/munge/munged.pid" "$dir/munged.pid"
  wait_for munged "$dir/munged.pid" 50 sh -c "munge -S '$dir/munge/socket' -n | unmunge -S '$dir/munge/socket'"

  # The controller must carry this machine's own name.
  host=$(hostname -s)
  node=mixora-node
  local port
  port=$(free_ports)
  : >"$dir/plugstack.conf"
  cat >"$dir/slurm.conf" <<EOF
ClusterName=mixora-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerParameters=sched_interval=2,bf_interval=1
DependencyParameters=kill_invalid_depend
SlurmdParameters=config_overrides
ReturnToService=2
KillWait=2
MinJobAge=600
PlugStackConfig=$dir/plugstack.conf
MailProg=/bin/true
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
NodeName=$node NodeAddr=127.0.0.1 CPUs=2 RealMemory=1000 State=UNKNOWN
PartitionName=debug Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF=$dir/slurm.conf
  slurmctld -D -c -i -f "$SLURM_CONF" >>"$dir/slurmctld.out" 2>&1 &
  echo $! >"$dir/slurmctld.pid"
  wait_for slurmctld "$dir/slurmctld.pid" 100 scontrol ping
  slurmd -D -N "$node" -f "$SLURM_CONF" >>"$dir/slurmd.out" 2>&1 &
  echo $! >"$dir/slurmd.pid"
  wait_for slurmd "$dir/slurmd.pid" 100 node_idle
  trap - ERR
  echo "export SLURM_CONF=$SLURM_CONF"
}

run_with_cluster() {
  trap 'stop_cluster; rm -rf "$dir"' EXIT
  trap 'exit 130' INT TERM HUP
  start_cluster >/dev/null
  local status=0
  "$@" || status=$?
  if [ "$status" != 0 ]; then
    echo "slurm-cluster: the command failed ($status); the controller's last words:" >&2
    tail -n 20 "$dir/slurmctld.log" >&2 || true
  fi
  return "$status"
}

case $action in
  start) [ $# -eq 2 ] || usage; start_cluster ;;
  stop) [ $# -eq 2 ] || usage; stop_cluster ;;
  run) run_with_cluster "$@" ;;
  *) usage ;;
esac
