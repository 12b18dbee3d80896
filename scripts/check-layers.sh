#!/usr/bin/env bash
# The folders are layers and every include points down. Run by the build before any layer
# library compiles, and as the CTest test LayersPointDown. Prints each offending include and
# exits 1 if there is one.
#
#   scripts/check-layers.sh [ROOT]     ROOT defaults to the top of this repository
#
# The core:   base < profiles < settings < db < run (standard library and unixODBC only)
# The window code, each ui/ folder over the whole core:
#             base/ui < profiles/ui < settings/ui < db/ui < run/ui < shell/ui
# apps/batch, tools/ and the core tests include no window code and no Qt; devservers/ nothing
# above base; only ui/ folders, apps/desktop, the window tests and the benchmark's window path
# include Qt.
#
# Every spelling counts: "x.h" and "./x.h" are looked up beside the including file first, as
# the compiler does, "../run/x.h" is resolved, <run/x.h> is looked up in the tree, and
# indented or "# include" directives are read like the others.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:-$here/..}" && pwd)
cd "$root"

mapfile -t sources < <("$here/cxx-files.sh" "$root")
# Every file of the tree, so that an include is resolved the way the compiler finds it.
all=$(mktemp)
trap 'rm -f "$all"' EXIT
find . \( -name .git -o -name build -o -name 'build-*' \) -prune -o -type f -print | sed 's|^\./||' >"$all"

awk -v count="${#sources[@]}" '
function norm(p,   n, c, out, m, i, s) {
  n = split(p, c, "/"); m = 0
  for (i = 1; i <= n; i++) {
    if (c[i] == "" || c[i] == ".") continue
    if (c[i] == "..") { if (m == 0) return ""; m--; continue }
    out[++m] = c[i]
  }
  s = ""
  for (i = 1; i <= m; i++) s = s (i > 1 ? "/" : "") out[i]
  return s
}
function dir(p) { return (p ~ /\//) ? substr(p, 1, match(p, /\/[^\/]*$/) - 1) : "" }
function zone(p,   n, c) {
  n = split(p, c, "/")
  if (n >= 3 && c[2] == "ui" && (c[1] in uiRank)) return "ui:" c[1]
  if (n >= 2 && (c[1] in coreRank)) return "core:" c[1]
  if (p == "bench/WindowRun.cpp") return "bench/window"
  if (n >= 2 && (c[1] == "bench" || c[1] == "tools" || c[1] == "devservers")) return c[1]
  if (n == 2 && c[1] == "tests") return "tests"
  if (n >= 3 && (c[1] == "apps" || c[1] == "tests")) return c[1] "/" c[2]
  return ""
}
# rule(zone, highest core layer, highest window layer, other zones it may include, Qt allowed)
function rule(z, core, ui, others, qt) { coreMax[z] = core; uiMax[z] = ui; own[z] = " " others " "; qtOk[z] = qt }
function ruled(z) { return (z in coreMax) }
function allowed(from, to,   c) {
  if (to == from) return 1
  if (to ~ /^core:/) return coreRank[substr(to, 6)] <= coreMax[from]
  if (to ~ /^ui:/) return uiRank[substr(to, 4)] <= uiMax[from]
  return index(own[from], " " to " ") > 0
}
function label(z) {
  if (z == "bench/window") return "bench/WindowRun.cpp"
  if (sub(/^ui:/, "", z)) return z "/ui/"
  sub(/^core:/, "", z)
  return z "/"
}
function reach(from,   s, i, n, o) {
  s = (from ~ /^(core|ui):/) ? "" : ", " label(from)
  if (coreMax[from] == 4) s = s ", the core"
  else for (i = 0; i <= coreMax[from]; i++) s = s ", " coreName[i] "/"
  for (i = 0; i <= uiMax[from]; i++) s = s ", " uiName[i] "/ui/"
  n = split(own[from], o, " ")
  for (i = 1; i <= n; i++) s = s ", " label(o[i])
  return " " substr(s, 3)
}
function resolve(from, path, quoted,   r, n, i) {
  if (quoted) { r = norm(dir(from) "/" path); if (r in present) return r }
  n = split("tests apps/batch", roots, " ")
  r = norm(path); if (r in present) return r
  for (i = 1; i <= n; i++) { r = norm(roots[i] "/" path); if (r in present) return r }
  return ""
}
function report(msg) { print FILENAME ":" FNR ": " msg; bad = 1 }
BEGIN {
  split("base profiles settings db run", L, " ")
  for (i = 1; i <= 5; i++) { coreRank[L[i]] = i - 1; coreName[i - 1] = L[i] }
  split("base profiles settings db run shell", U, " ")
  for (i = 1; i <= 6; i++) { uiRank[U[i]] = i - 1; uiName[i - 1] = U[i] }
  for (l in coreRank) rule("core:" l, coreRank[l], -1, "", 0)
  for (l in uiRank) rule("ui:" l, 4, uiRank[l], "", 1)
  rule("apps/batch", 4, -1, "", 0)
  rule("apps/desktop", 4, 5, "", 1)
  rule("tools", 4, -1, "", 0)
  rule("bench", 4, -1, "devservers bench/window", 0)
  rule("bench/window", 4, 5, "bench devservers", 1)
  rule("devservers", 0, -1, "", 0)
  rule("tests", 4, -1, "tests/support devservers apps/batch", 0)
  rule("tests/support", 4, -1, "devservers", 0)
  rule("tests/dialogs", 4, 5, "tests/support devservers", 1)
  rule("tests/ui", 4, 5, "tests/support devservers", 1)
  rule("tests/testdriver", -1, -1, "", 0)
  bad = 0
}
NR == FNR { present[$0] = 1; next }
FNR == 1 {
  from = zone(FILENAME); pending = ""
  if (!ruled(from)) report("no layer rule covers this folder (scripts/check-layers.sh names the folders)")
}
{
  line = pending $0
  if (line ~ /\\$/) { pending = substr(line, 1, length(line) - 1); next }
  pending = ""
}
line ~ /^[ \t]*#[ \t]*include/ && ruled(from) {
  rest = line; sub(/^[ \t]*#[ \t]*include[ \t]*/, "", rest)
  opener = substr(rest, 1, 1)
  if (opener != "\"" && opener != "<") { report("an include this check cannot read: " line); next }
  closer = (opener == "<") ? ">" : "\""
  path = substr(rest, 2); end = index(path, closer)
  if (end == 0) { report("an include this check cannot read: " line); next }
  path = substr(path, 1, end - 1)
  target = resolve(FILENAME, path, opener == "\"")
  if (target == "") {
    if (!qtOk[from] && path ~ /^(Q[A-Za-z]|qpa\/)/)
      report("includes Qt (" path ") outside the window code")
    next
  }
  to = zone(target)
  if (to == "" || !allowed(from, to))
    report("includes " target ": " label(from) " includes only" reach(from))
}
END {
  if (bad) exit 1
  print "layers: every include points down (" count " files)"
}
' "$all" "${sources[@]}"
