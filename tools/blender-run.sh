#!/usr/bin/env bash
# Runs a Blender of a given version headless: 3.4 is Debian 12's (this
# machine's `blender`); 4.3 and 5.2 are Debian 13's and Debian sid's, each in
# a chroot made from Debian's archive by mmdebstrap and kept under
# /var/cache/ostrel-blender, so that a second run reuses it (made when
# missing, which takes a few minutes and 1.3 GB, and said on stderr).
#
#   tools/blender-run.sh VERSION [--bind DIR]... -- BLENDER-ARGUMENTS...
#   tools/blender-run.sh VERSION --prepare      make the chroot if missing
#   tools/blender-run.sh VERSION --program NAME [--bind DIR]... -- ARGUMENTS...
#                                               run NAME of that system instead
#                                               (python3, apt-get, ...)
#
# The chroot sees this checkout, /tmp (or $TMPDIR) and each --bind DIR at
# the same paths, and the environment as it is (HOME, BLENDER_USER_SCRIPTS
# ...). Its mounts live in a mount namespace of their own and go with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${OSTREL_BLENDER_CHROOTS:-/var/cache/ostrel-blender}
version=${1:?usage: blender-run.sh VERSION [--bind DIR]... -- ARGS...}
shift
case $version in
3.4) exec_host=1 ;;
4.3) suite=trixie exec_host=0 ;;
5.2) suite=sid exec_host=0 ;;
*) echo "blender-run.sh: no Blender $version here (3.4, 4.3, 5.2)" >&2; exit 64 ;;
esac
binds=("$root" "${TMPDIR:-/tmp}")
prepare=0
program=blender
while (($#)); do
  case $1 in
  --bind) binds+=("$2"); shift 2 ;;
  --prepare) prepare=1; shift ;;
  --program) program=$2; shift 2 ;;
  --) shift; break ;;
  *) break ;;
  esac
done
if ((exec_host)); then
  ((prepare)) && exit 0
  exec "$program" "$@"
fi

if [[ $(id -u) -ne 0 ]]; then
  SUDO=sudo
else
  SUDO=
fi
dir=$cache/$suite
if [[ ! -x $dir/usr/bin/blender ]]; then
  echo "blender-run.sh: making the chroot of Debian $suite for Blender $version in $dir" \
    "(once; a few minutes)" >&2
  options=()
  # sid's Release file is often past its Valid-Until on a snapshot mirror.
  [[ $suite == sid ]] && options+=(--aptopt='Acquire::Check-Valid-Until "false"')
  $SUDO mkdir -p "$cache"
  $SUDO rm -rf "$dir.partial"
  $SUDO mmdebstrap --quiet --variant=apt --include=blender,python3-numpy "${options[@]}" \
    "$suite" "$dir.partial" >&2
  $SUDO mv "$dir.partial" "$dir"
fi
((prepare)) && exit 0

# Bind mounts, proc, then the chroot, in a mount namespace of their own.
script='set -e; dir=$1; shift; program=$1; shift; n=$1; shift
for ((i = 0; i < n; i++)); do
  mkdir -p "$dir$1"; mount --rbind "$1" "$dir$1"; shift
done
mount -t proc proc "$dir/proc"
cwd=$PWD
exec chroot "$dir" /bin/sh -c "cd \"\$0\" 2>/dev/null || cd /; exec \"\$@\"" "$cwd" "$program" "$@"'
exec $SUDO unshare --mount --propagation private bash -c "$script" bash "$dir" "$program" \
  "${#binds[@]}" "${binds[@]}" "$@"
