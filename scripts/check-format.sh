#!/usr/bin/env bash
# Checks that every C++ file of the tree (scripts/cxx-files.sh: build folders left out) is laid
# out as clang-format lays it out with the repository's .clang-format. The version is pinned to
# Debian 12's clang-format 14 (scripts/install-deps.sh installs it): other versions lay out
# some code differently, and the check must say the same on every machine.
#
#   scripts/check-format.sh              names the files that differ; exits 1 if there is one
#   scripts/check-format.sh --fix [FILE...]   formats FILEs (default: every file) in place
set -euo pipefail
cd "$(dirname "$0")/.."
version=14
tool=clang-format-$version

if ! command -v "$tool" >/dev/null 2>&1; then
  echo "check-format.sh: $tool not found (Debian package $tool; scripts/install-deps.sh installs it)" >&2
  exit 2
fi
said=$("$tool" --version)
if [[ "$said" != *"clang-format version $version."* ]]; then
  echo "check-format.sh: $tool says \"$said\", not version $version" >&2
  exit 2
fi

if [ "${1:-}" = --fix ]; then
  shift
  if [ $# -eq 0 ]; then mapfile -t files < <(scripts/cxx-files.sh); else files=("$@"); fi
  "$tool" -i --style=file "${files[@]}"
  exit 0
fi

mapfile -t files < <(scripts/cxx-files.sh)
# --dry-run reports each difference as "FILE:LINE:COLUMN: warning: code should be clang-formatted".
mapfile -t differ < <("$tool" --style=file --dry-run "${files[@]}" 2>&1 |
  sed -n 's/^\(.*\):[0-9]*:[0-9]*: [a-z]*: code should be clang-formatted.*/\1/p' | LC_ALL=C sort -u)
if [ ${#differ[@]} -gt 0 ]; then
  printf '%s\n' "${differ[@]}"
  echo "format: ${#differ[@]} of ${#files[@]} files differ from $tool's layout (scripts/check-format.sh --fix FILE...)"
  exit 1
fi
echo "format: all ${#files[@]} files as $tool lays them out"
