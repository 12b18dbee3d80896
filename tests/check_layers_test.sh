#!/usr/bin/env bash
# The layer check on a small tree of its own: every spelling of a wrong include is caught, and
# the includes the layers allow pass. One case a row: the including file, its include line(s)
# (\n between lines), and whether the check must pass (ok) or fail (bad).
set -euo pipefail
check=$(cd "$(dirname "$0")/.." && pwd)/scripts/check-layers.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

for f in base/Host.h base/ui/UiText.h profiles/Profile.h profiles/ui/Sheet.h settings/ui/Dialog.h db/Conn.h \
  run/RunOwner.h run/ui/Panel.h shell/ui/QtHost.h apps/batch/Command.h tests/support/Kit.h devservers/Server.h; do
  mkdir -p "$tree/$(dirname "$f")"
  : >"$tree/$f"
done

cases='
db/Case.cpp|#include "run/RunOwner.h"|bad
db/Case.cpp|#  include "run/RunOwner.h"|bad
db/Case.cpp|    #include "run/RunOwner.h"|bad
db/Case.cpp|#include "../run/RunOwner.h"|bad
db/Case.cpp|#include "./../run/RunOwner.h"|bad
db/Case.cpp|#include <run/RunOwner.h>|bad
db/Case.cpp|#include \\\n  "run/RunOwner.h"|bad
db/Case.cpp|#include MV_HEADER|bad
db/Case.cpp|#include <QString>|bad
db/Case.cpp|#include "profiles/ui/Sheet.h"|bad
db/Case.cpp|#include "tests/support/Kit.h"|bad
db/Case.cpp|#include "./Conn.h"\n#include "Conn.h"\n#include "../base/Host.h"\n#include <profiles/Profile.h>|ok
db/Case.cpp|// #include "run/RunOwner.h"\n#include <string>\n#include <sql.h>|ok
base/Case.cpp|#include "profiles/Profile.h"|bad
base/ui/Case.cpp|#include "profiles/ui/Sheet.h"|bad
base/ui/Case.cpp|#include "run/RunOwner.h"\n#include <QWidget>|ok
run/ui/Case.cpp|#include "shell/ui/QtHost.h"|bad
run/ui/Case.cpp|#include "../../shell/ui/QtHost.h"|bad
run/ui/Case.cpp|#include "./Panel.h"\n#include "settings/ui/Dialog.h"\n#include "base/ui/UiText.h"|ok
shell/ui/Case.cpp|#include "run/ui/Panel.h"|ok
shell/Case.cpp|#include "base/Host.h"|bad
apps/batch/Case.cpp|#include "settings/ui/Dialog.h"|bad
apps/batch/Case.cpp|#include <QtCore/QString>|bad
apps/batch/Case.cpp|#include "Command.h"\n#include "run/RunOwner.h"|ok
apps/desktop/Case.cpp|#include "shell/ui/QtHost.h"\n#include <QApplication>|ok
tests/case_test.cpp|#include "shell/ui/QtHost.h"|bad
tests/case_test.cpp|#include "support/Kit.h"\n#include "Command.h"\n#include "devservers/Server.h"|ok
tests/ui/Case.cpp|#include "shell/ui/QtHost.h"\n#include "support/Kit.h"\n#include <QTest>|ok
tests/support/Case.h|#include <QString>|bad
devservers/Case.cpp|#include "profiles/Profile.h"|bad
devservers/Case.cpp|#include "base/Host.h"|ok
bench/Case.cpp|#include "shell/ui/QtHost.h"|bad
bench/WindowRun.cpp|#include "shell/ui/QtHost.h"\n#include <QApplication>|ok
tools/Case.cpp|#include "run/RunOwner.h"|ok
extras/Case.cpp|#include <string>|bad
build-x/Case.cpp|#include "run/RunOwner.h"|ok
'

failures=0
while IFS='|' read -r file lines expect; do
  [ -n "$file" ] || continue
  mkdir -p "$tree/$(dirname "$file")"
  printf '%b\n' "$lines" >"$tree/$file"
  if out=$("$check" "$tree" 2>&1); then got=ok; else got=bad; fi
  if [ "$got" != "$expect" ]; then
    echo "FAIL: $file with [$lines]: expected $expect, the check said:"
    echo "$out"
    failures=$((failures + 1))
  fi
  rm -f "$tree/$file"
done <<<"$cases"

[ "$failures" = 0 ] && echo "the layer check caught every wrong include and passed the others"
exit "$((failures > 0))"
