#!/usr/bin/env bash
# Installs the Debian package into a fresh, minimal Debian 12 tree (debootstrap, chroot) and
# starts both programs there on the demo database: what a new user's `apt install ./mervale_*.deb`
# does. Needs root, debootstrap and the network to Debian's mirror; takes a few minutes.
#
#   scripts/check-deb.sh build/mervale_5.1_amd64.deb [ROOT]
#
# ROOT (default build/deb12-root) is made once and reused; delete it for a fresh start.
set -euo pipefail
deb=$(realpath "${1:?usage: scripts/check-deb.sh PACKAGE.deb [ROOT]}")
cd "$(dirname "$0")/.."
root=$(realpath -m "${2:-build/deb12-root}")
demo=$(realpath build/demo/demo.db)

if [ ! -x "$root/usr/bin/apt-get" ]; then
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
# Package scripts must not start services inside the tree.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
trap 'umount "$root/proc" "$root/dev"' EXIT

mkdir -p "$root/tmp/check"
cp "$deb" "$root/tmp/check/"
cp "$demo" "$root/tmp/check/demo.db"
cat >"$root/tmp/check/demo.mvl" <<'EOF'
[Mervale]
Version=5.0
s_WorkingProfile=SQLite
b_OnlyToFile=1
b_AutoSave=1
s_AutoSaveFile=/tmp/check/window.sql
[Database]
s_ConnectString=DRIVER=SQLite3;Database=/tmp/check/demo.db
EOF

chroot "$root" sh -eu -c '
  export DEBIAN_FRONTEND=noninteractive HOME=/root XDG_RUNTIME_DIR=/tmp/check/run
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  apt-get update -qq
  apt-get install -y -q /tmp/check/$(basename '"'$deb'"') >/tmp/check/apt.log
  echo "installed: $(dpkg-query -W -f="\${Package} \${Version}" mervale)"
  echo "MIME type of a configuration: $(xdg-mime query filetype /tmp/check/demo.mvl)"
  mervale-batch /tmp/check/demo.mvl
  echo "mervale-batch: $(grep -c "^INSERT" /tmp/check/window.sql) INSERT statements"
  rm /tmp/check/window.sql
  # An only-to-file configuration makes the window program run it and end.
  QT_QPA_PLATFORM=offscreen mervale /tmp/check/demo.mvl
  echo "mervale: $(grep -c "^INSERT" /tmp/check/window.sql) INSERT statements"
'
