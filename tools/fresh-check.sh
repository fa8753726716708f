#!/usr/bin/env bash
# Proves that the README's two commands work on a fresh Debian 12 machine with
# nothing installed by hand: a clean clone of the current commit is put into a
# throw-away copy of a minimal Debian 12 root, and there, as a new user would,
# `bash tools/run.sh` (no display: the whole order is walked) and then
# `bash tools/test.sh` are run. Fails when either fails or when a process of
# theirs is still running afterwards.
#
#   tools/fresh-check.sh          (as root; CI runs it from .ci/run)
#
# The minimal root (debootstrap --variant=minbase, from the mirror in this
# machine's apt sources) is made once and kept under $NORVALISK_FRESH_CACHE
# (default /var/cache/norvalisk-fresh); nothing is ever installed into it. Each
# run gets a copy-on-write layer over it (overlayfs) in a mount namespace of
# its own, so that no mount can outlive the run; the layer is removed on every
# way out, and what a killed run left behind is removed by the next one. The
# machine's apt download cache is shared with the layer so that packages are
# downloaded once, but they are installed afresh every time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${NORVALISK_FRESH_CACHE:-/var/cache/norvalisk-fresh}
base="$cache/bookworm-minbase"
runs="$cache/runs"
suite=bookworm

say() { echo "fresh-check: $*"; }
die() { echo "fresh-check: $*" >&2; exit 1; }

# Pids of the processes whose root directory is the layer `$1`.
layer_processes() {
  local merged=$1 p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$merged" ] && echo "${p#/proc/}"
  done
  return 0
}

# Ends what still runs inside a layer, unmounts it and deletes the run folder.
remove_run() {
  local dir=$1 merged=$1/merged pids n target
  pids=$(layer_processes "$merged")
  if [ -n "$pids" ]; then
    kill -TERM $pids 2>/dev/null || true
    for n in $(seq 20); do
      [ -z "$(layer_processes "$merged")" ] && break
      sleep 0.5
    done
    pids=$(layer_processes "$merged")
    [ -z "$pids" ] || kill -KILL $pids 2>/dev/null || true
  fi
  # Deepest mounts first; a mount can be busy for a moment after its last user ended.
  for n in $(seq 10); do
    target=$(awk -v m="$merged" '$5 == m || index($5, m "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r)
    [ -z "$target" ] && break
    umount $target 2>/dev/null || sleep 1
  done
  if awk -v m="$merged" '$5 == m || index($5, m "/") == 1 { f = 1 } END { exit !f }' /proc/self/mountinfo; then
    say "a mount under $merged stays busy; detaching it"
    umount -R -l "$merged" || true
  fi
  rm -rf --one-file-system "$dir"
}

# The mirror this machine's own apt sources name for Debian's main archive.
debian_mirror() {
  local uri=
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    uri=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
  elif [ -f /etc/apt/sources.list ]; then
    uri=$(awk '$1 == "deb" && $0 !~ /security/ { print $2; exit }' /etc/apt/sources.list)
  fi
  [ -n "$uri" ] || die "no Debian mirror found in this machine's apt sources"
  echo "$uri"
}

make_base() {
  local mirror tmp n
  mirror=$(debian_mirror)
  tmp="$base.partial"
  for n in 1 2 3; do
    rm -rf --one-file-system "$tmp"
    say "making a minimal Debian 12 root from $mirror (try $n)"
    if debootstrap --variant=minbase "$suite" "$tmp" "$mirror" >"$cache/debootstrap.log" 2>&1; then
      echo "$suite minbase $mirror $(date -u +%F)" >"$tmp/.fresh-check-base"
      mv "$tmp" "$base"
      return 0
    fi
    tail -n 5 "$cache/debootstrap.log" >&2
  done
  die "debootstrap failed three times (log: $cache/debootstrap.log)"
}

# Inside the run's own mount namespace: mount the layer, run both commands.
inside() {
  local dir=$1 commit=$2 merged=$1/merged
  mount -t overlay overlay -o "lowerdir=$base,upperdir=$dir/upper,workdir=$dir/work" "$merged"
  trap "remove_run '$dir'" EXIT
  mount -t proc proc "$merged/proc"
  mount --rbind /sys "$merged/sys"
  mount --rbind /dev "$merged/dev"
  mount --make-rslave "$merged/sys"
  mount --make-rslave "$merged/dev"
  mount --bind /var/cache/apt/archives "$merged/var/cache/apt/archives"

  # What a machine of this kind has besides the base: its network settings and
  # apt sources (the three suites, from the same mirror).
  cp -L /etc/resolv.conf "$merged/etc/resolv.conf"
  cp /etc/hosts "$merged/etc/hosts"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    rm -f "$merged/etc/apt/sources.list"
    cp /etc/apt/sources.list.d/debian.sources "$merged/etc/apt/sources.list.d/"
  fi

  # A clean clone of the commit, with the shared folder beside it as CI has.
  mkdir -p "$merged/work"
  git clone -q --no-hardlinks "$root" "$merged/work/main"
  git -C "$merged/work/main" checkout -q --detach "$commit"
  [ -d "$root/../shared" ] && cp -r "$root/../shared" "$merged/work/shared"

  local status=0 name cmd start took rc left
  for name in run test; do
    cmd="bash tools/$name.sh"
    say "== $cmd (in a fresh layer)"
    start=$(date +%s)
    rc=0
    chroot "$merged" /usr/bin/env -i HOME=/root TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      /bin/bash -c "cd /work/main && $cmd" </dev/null 2>&1 | tee "$dir/$name.log" || rc=${PIPESTATUS[0]}
    took=$(( $(date +%s) - start ))
    say "$cmd: exit status $rc, $((took / 60)) min $((took % 60)) s"
    left=$(layer_processes "$merged")
    if [ -n "$left" ]; then
      say "$cmd left processes running:"
      ps -o pid=,args= -p "$(echo $left | tr ' ' ',')" >&2 || true
      status=1
    fi
    [ "$rc" = 0 ] || status=1
    if [ "$name" = run ]; then
      say "stored by the service:"
      (cd "$merged/work/main/build" && find service -type f | sort) || status=1
      say "screenshots:"
      (cd "$merged/work/main/build" && ls screenshots) || status=1
    fi
    if [ "$name" = test ]; then
      say "test totals:"
      grep -E 'tests passed|tests failed|stat::number_of_executed_units' "$dir/$name.log" || status=1
    fi
    [ "$status" = 0 ] || break
  done
  return "$status"
}

if [ "${1:-}" = --inside ]; then
  inside "$2" "$3"
  exit $?
fi

[ "$(id -u)" = 0 ] || die "needs root (debootstrap, overlay mounts, chroot)"
for c in debootstrap unshare git; do
  if ! command -v "$c" >/dev/null 2>&1; then
    say "installing debootstrap"
    DEBIAN_FRONTEND=noninteractive apt-get -o Acquire::Retries=5 install -y -qq --no-install-recommends \
      debootstrap util-linux git >/dev/null
    break
  fi
done
commit=$(git -C "$root" rev-parse HEAD)

mkdir -p "$runs"
exec 9>"$cache/lock"
flock 9
for stale in "$runs"/*; do
  [ -d "$stale" ] || continue
  say "removing what an earlier run left: $stale"
  remove_run "$stale"
done
[ -f "$base/.fresh-check-base" ] || make_base

dir="$runs/$(date -u +%Y%m%d-%H%M%S)-$$"
mkdir -p "$dir/upper" "$dir/work" "$dir/merged"
trap 'remove_run "$dir"' EXIT
say "checking commit $commit in $dir"
start=$(date +%s)
rc=0
unshare --mount --propagation private -- bash "$0" --inside "$dir" "$commit" || rc=$?
took=$(( $(date +%s) - start ))
if [ "$rc" = 0 ]; then
  say "both commands passed on a fresh machine in $((took / 60)) min $((took % 60)) s; nothing left running"
else
  say "FAILED after $((took / 60)) min $((took % 60)) s"
fi
exit "$rc"
