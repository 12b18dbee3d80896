#!/usr/bin/env bash
# The folders are layers and every include points down: shell < profiles < settings < db < run.
# Nothing outside a ui/ folder includes Qt. Prints each offending include; exits 1 if any.
set -u
cd "$(dirname "$0")/.."
rank() { case "$1" in shell) echo 0 ;; profiles) echo 1 ;; settings) echo 2 ;; db) echo 3 ;; run) echo 4 ;; *) echo 9 ;; esac; }
bad=0
for dir in shell profiles settings db run; do
  mine=$(rank "$dir")
  while IFS= read -r -d '' file; do
    while IFS= read -r line; do
      target=${line#*\"}
      target=${target%%/*}
      theirs=$(rank "$target")
      if [ "$theirs" != 9 ] && [ "$theirs" -gt "$mine" ]; then
        echo "$file includes $target/: $line"
        bad=1
      fi
    done < <(grep -E '^#include "[a-z]+/' "$file")
    if grep -qE '^#include <Q' "$file"; then
      echo "$file includes Qt outside a ui/ folder"
      bad=1
    fi
  done < <(find "$dir" -path '*/ui' -prune -o \( -name '*.h' -o -name '*.cpp' \) -print0)
done
[ "$bad" = 0 ] && echo "layers: every include points down"
exit "$bad"
