#!/usr/bin/env bash
# Installs the two Debian packages into a fresh, minimal Debian 12 tree (debootstrap, chroot),
# as a new user's `apt install` would, and runs each there on the demo database:
#
#   1. mervale-batch alone: which packages it brought, and that none of them is a Qt library
#      (nor any library mervale-batch loads); its manual page and completion where Debian
#      looks for them; the demo scripted and the script loaded with sqlite3 -bail, every table's
#      rows compared with the demo's.
#   2. mervale on top: the desktop program's version, the MIME type of a configuration file,
#      and an only-to-file configuration run by the window program, which then ends.
#
# Needs root, debootstrap and the network to Debian's mirror; the first run takes a few
# minutes.
#
#   scripts/check-deb.sh [BUILD [ROOT]]
#
# BUILD (default build-deb, as scripts/build-deb.sh makes it) holds the two packages and
# demo/demo.db. ROOT (default BUILD/deb12) keeps the pristine tree debootstrap made, ROOT/base,
# which is never changed; every run copies it to ROOT/tree anew, so each check starts fresh.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-deb}")
root=$(realpath -m "${2:-$build/deb12}")
batch_deb=$(ls "$build"/mervale-batch_*.deb)
desktop_deb=$(ls "$build"/mervale_*.deb)
demo=$build/demo/demo.db
[ -r "$demo" ] || { echo "check-deb.sh: $demo is missing" >&2; exit 1; }

mirror=http://deb.debian.org/debian
if [ ! -x "$root/base/usr/bin/apt-get" ]; then
  rm -rf "$root/base.new"
  debootstrap --variant=minbase bookworm "$root/base.new" "$mirror"
  mv "$root/base.new" "$root/base"
fi
tree=$root/tree
rm -rf "$tree"
cp -a "$root/base" "$tree"

cp /etc/resolv.conf "$tree/etc/resolv.conf"
# As a Debian 12 installation has them: the point release, its updates and security fixes.
cat >"$tree/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
# Package scripts must not start services inside the tree.
printf '#!/bin/sh\nexit 101\n' >"$tree/usr/sbin/policy-rc.d"
chmod 755 "$tree/usr/sbin/policy-rc.d"
mount -t proc proc "$tree/proc"
mount --bind /dev "$tree/dev"
mount --bind /dev/pts "$tree/dev/pts"
trap 'umount "$tree/dev/pts" "$tree/dev" "$tree/proc"' EXIT

check=$tree/tmp/check
mkdir -p "$check"
cp "$batch_deb" "$desktop_deb" "$check/"
cp "$demo" "$check/demo.db"
cat >"$check/demo.mvl" <<'EOF'
[Mervale]
Version=5.0
s_WorkingProfile=SQLite
b_OnlyToFile=1
b_AutoSave=1
s_AutoSaveFile=/tmp/check/window.sql
[Database]
s_ConnectString=DRIVER=SQLite3;Database=/tmp/check/demo.db
EOF

chroot "$tree" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
  BATCH_DEB="$(basename "$batch_deb")" DESKTOP_DEB="$(basename "$desktop_deb")" bash -euo pipefail -c '
  export DEBIAN_FRONTEND=noninteractive XDG_RUNTIME_DIR=/tmp/check/run
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  cd /tmp/check
  apt-get update -qq
  # apt speaks up only when it fails.
  apt_install() {
    local log=$1
    shift
    apt-get install -y -q "$@" >"$log" 2>&1 || { cat "$log"; return 1; }
  }
  installed() { dpkg-query -W -f="\${db:Status-Status} \${Package}\n" | sed -n "s/^installed //p" | sort; }
  installed >before

  echo "== mervale-batch alone"
  apt_install apt-batch.log "./$BATCH_DEB"
  installed >after-batch
  added=$(comm -13 before after-batch)
  echo "installed: $(dpkg-query -W -f="\${Package} \${Version}" mervale-batch)"
  echo "it brought $(echo "$added" | wc -l) packages: $(echo $added)"
  qt=$(echo "$added" | grep -i "qt" || true)
  linked=$(ldd /usr/bin/mervale-batch | grep -i "qt" || true)
  if [ -n "$qt$linked" ]; then
    echo "FAIL: mervale-batch pulled Qt: $qt $linked"
    exit 1
  fi
  echo "Qt libraries among them or linked by /usr/bin/mervale-batch: none"
  for f in /usr/share/man/man1/mervale-batch.1.gz /usr/share/bash-completion/completions/mervale-batch; do
    [ -s "$f" ] || { echo "FAIL: $f is missing"; exit 1; }
  done
  echo "manual page and completion:" $(dpkg -L mervale-batch | grep -E "[.]1[.]gz$|completions/.")
  mervale-batch /tmp/check/demo.mvl
  echo "mervale-batch: $(grep -c "^INSERT" window.sql) INSERT statements in the script"

  # Judged as the rebuild it is: the script loads into an empty database and every table
  # the configuration scripts holds the rows it held.
  apt_install apt-sqlite3.log --no-install-recommends sqlite3 bash-completion
  sqlite3 -bail copy.db <window.sql
  tables="SELECT name FROM sqlite_schema WHERE type = '\''table'\'' ORDER BY name"
  [ "$(sqlite3 demo.db "$tables")" = "$(sqlite3 copy.db "$tables")" ] || { echo "FAIL: the copy has other tables"; exit 1; }
  rows() { sqlite3 -cmd ".mode quote" "$1" "SELECT * FROM \"$2\"" | sort | md5sum; }
  sqlite3 copy.db "$tables" >tables
  while IFS= read -r t; do
    # Assigned first, so that a failing sqlite3 ends the check.
    source_rows=$(rows demo.db "$t")
    copy_rows=$(rows copy.db "$t")
    [ "$source_rows" = "$copy_rows" ] || { echo "FAIL: table $t differs"; exit 1; }
    echo "  $t: $(sqlite3 copy.db "SELECT count(*) FROM \"$t\"") rows, as in the demo"
  done <tables
  rm window.sql

  # The installed completion, loaded the way bash-completion loads it on first use.
  profiles=$(bash -c "source /usr/share/bash-completion/bash_completion
    _completion_loader mervale-batch
    COMP_WORDS=(mervale-batch --profile \"\"); COMP_CWORD=2; COMP_LINE=\"mervale-batch --profile \"; COMP_POINT=\${#COMP_LINE}
    _mervale_batch 2>/dev/null; echo \${COMPREPLY[*]}")
  echo "completion of mervale-batch --profile: $profiles"
  [ -n "$profiles" ] || { echo "FAIL: no profile names completed"; exit 1; }

  echo "== mervale on top"
  apt_install apt-desktop.log "./$DESKTOP_DEB"
  installed >after-desktop
  added=$(comm -13 after-batch after-desktop)
  echo "installed: $(dpkg-query -W -f="\${Package} \${Version}" mervale), bringing $(echo "$added" | wc -l) more packages, among them" $(echo "$added" | grep -i "qt")
  mervale --version
  echo "MIME type of a configuration: $(xdg-mime query filetype /tmp/check/demo.mvl)"
  [ -s /usr/share/man/man1/mervale.1.gz ] || { echo "FAIL: the manual page of mervale is missing"; exit 1; }
  # An only-to-file configuration makes the window program run it and end.
  status=0
  QT_QPA_PLATFORM=offscreen mervale /tmp/check/demo.mvl || status=$?
  echo "mervale: exit status $status, $(grep -c "^INSERT" window.sql) INSERT statements in the script"
  [ "$status" -eq 0 ]
'
echo "check-deb.sh: both packages installed and ran in a fresh Debian 12 tree"
