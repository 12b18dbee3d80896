#!/usr/bin/env bash
# Installs the Debian 12 packages Mervale needs to build, run its demo and pass its tests,
# and makes sure the SQLite3 and PostgreSQL ANSI ODBC drivers are registered.
# Safe to run again: with everything present it changes nothing and needs no network.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libcli11-dev
  unixodbc unixodbc-dev
  libsqliteodbc sqlite3
  odbc-postgresql postgresql
  odbc-mariadb mariadb-server
  googletest libgtest-dev libgmock-dev
  qt6-base-dev
  # The formatter scripts/check-format.sh pins: Debian 12's clang-format 14.
  clang-format-14
  # xvfb-run needs xauth, which xvfb only recommends.
  xvfb xauth
  # The test of mervale-batch's completion runs it with bash-completion's helpers.
  bash-completion
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "install-deps.sh: root rights are needed for: $*" >&2
    exit 1
  fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" != "installed" ]; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps.sh: installing ${missing[*]}"
  # Without systemd (containers, CI) package scripts would start PostgreSQL and MariaDB
  # through their init scripts; nothing here needs those services (the tests start their
  # own server), so forbid service starts for the duration of the install.
  policy=/usr/sbin/policy-rc.d
  if [ ! -d /run/systemd/system ] && [ ! -e "$policy" ]; then
    as_root sh -c "printf '#!/bin/sh\nexit 101\n' > $policy && chmod 755 $policy"
    trap 'as_root rm -f "$policy"' EXIT
  fi
  export DEBIAN_FRONTEND=noninteractive
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The packages register their drivers in /etc/odbcinst.ini; put back any registration that
# was removed by hand, since the demo and the tests name the drivers, not their files.
register_driver() {
  local name=$1 library=$2 description=$3 path
  if odbcinst -q -d -n "$name" >/dev/null 2>&1; then
    return
  fi
  path=$(find /usr/lib -name "$library" -print -quit 2>/dev/null || true)
  if [ -z "$path" ]; then
    echo "install-deps.sh: ODBC driver library $library not found" >&2
    exit 1
  fi
  echo "install-deps.sh: registering ODBC driver \"$name\" ($path)"
  local template
  template=$(mktemp)
  printf '[%s]\nDescription=%s\nDriver=%s\n' "$name" "$description" "$path" > "$template"
  as_root odbcinst -i -d -f "$template" >/dev/null
  rm -f "$template"
}

register_driver "SQLite3" libsqlite3odbc.so "SQLite3 ODBC Driver"
register_driver "PostgreSQL ANSI" psqlodbca.so "PostgreSQL ODBC driver (ANSI version)"
echo "install-deps.sh: all packages present, ODBC drivers SQLite3 and PostgreSQL ANSI registered"
