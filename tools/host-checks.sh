#!/usr/bin/env bash
# Host-compatibility checks between our plug-in records and binaries written elsewhere:
#   a) our test host (ostrel-host) loads the LSP stereo compressor from Debian and runs audio
#      through it;
#   b) Ardour 7's plug-in scanner scans our Ostrel3.so and writes the expected cache entry.
#
# usage: tools/host-checks.sh [BUILD_DIR] [--plugin PATH] [--expect-id N] [--expect-name TEXT]
#   BUILD_DIR      the build folder (default /work/main/build): BUILD_DIR/tools/ostrel-host and
#                  BUILD_DIR/vst/Ostrel3.so are used
#   --plugin PATH  the plug-in that the scanner scans (or OSTREL_PLUGIN)
#   --expect-id N  the unique id expected, decimal or 0x-hex (or OSTREL_EXPECT_ID; default
#                  0x6B685A6A, "khZj", which the scanner's cache writes as 1802001002)
#   --expect-name  the expected effect name (or OSTREL_EXPECT_NAME; default Ostrel3)
# Other overrides: OSTREL_LSP_PLUGIN, ARDOUR_VST_SCANNER, ARDOUR_LIB_DIR.
# Prints one PASS or FAIL line per check and exits 1 when any check failed (2 on bad usage).
set -u

build=/work/main/build
plugin=${OSTREL_PLUGIN:-}
expect_id=${OSTREL_EXPECT_ID:-0x6B685A6A}
expect_name=${OSTREL_EXPECT_NAME:-Ostrel3}
lsp=${OSTREL_LSP_PLUGIN:-/usr/lib/vst/lsp-plugins/compressor-stereo.so}
scanner=${ARDOUR_VST_SCANNER:-/usr/lib/ardour7/ardour-vst-scanner}
ardour_libs=${ARDOUR_LIB_DIR:-/usr/lib/ardour7}

while [ $# -gt 0 ]; do
  case "$1" in
    --plugin) plugin=${2:?--plugin needs a path}; shift 2 ;;
    --expect-id) expect_id=${2:?--expect-id needs a number}; shift 2 ;;
    --expect-name) expect_name=${2:?--expect-name needs a text}; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    -*) echo "host-checks: unknown option $1" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done
# The cache writes the id in decimal, as a signed 32-bit number.
case "$expect_id" in
  0x*|0X*) [[ "$expect_id" =~ ^0[xX][0-9a-fA-F]{1,8}$ ]] || expect_id=bad ;;
  *) [[ "$expect_id" =~ ^-?[0-9]+$ ]] || expect_id=bad ;;
esac
if [ "$expect_id" = bad ]; then
  echo "host-checks: the expected id must be a decimal or 0x-hex number" >&2
  exit 2
fi
expect_id=$(( expect_id ))
if [ "$expect_id" -gt 2147483647 ]; then expect_id=$(( expect_id - 4294967296 )); fi
host=$build/tools/ostrel-host
plugin=${plugin:-$build/vst/Ostrel3.so}

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
show() { sed 's/^/    | /' "$1"; }  # indents a log under a FAIL line

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-host-checks.XXXXXX") || { echo "FAIL: mktemp"; exit 1; }
trap 'rm -rf "$work"' EXIT

# ---------------------------------------------------------------------------------------------
# a) our test host on a third-party plug-in
check_lsp() {
  local what="test host on LSP compressor"
  if [ ! -x "$host" ]; then
    fail "$what: $host is missing (build the ostrel-host target)"
    return
  fi
  if [ ! -f "$lsp" ]; then
    fail "$what: $lsp is missing; run tools/setup-deps.sh (package lsp-plugins-vst)"
    return
  fi
  local log=$work/lsp.log rc=0
  timeout 120 "$host" --plugin "$lsp" --rate 48000 --block 512 --process 1 --check >"$log" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ]; then
    fail "$what: ostrel-host exited with status $rc"
    show "$log"
    return
  fi
  local ok=1
  grep -qx 'magic: 0x56737450' "$log" || { fail "$what: wrong magic"; ok=0; }
  grep -qx 'numInputs: 2' "$log" || { fail "$what: numInputs is not 2 ($(grep '^numInputs:' "$log"))"; ok=0; }
  grep -qx 'numOutputs: 2' "$log" || { fail "$what: numOutputs is not 2 ($(grep '^numOutputs:' "$log"))"; ok=0; }
  local id
  id=$(sed -n 's/^uniqueID: \(0x[0-9A-F]*\).*/\1/p' "$log")
  if [ -z "$id" ] || [ "$id" = 0x00000000 ]; then fail "$what: no unique id"; ok=0; fi
  grep -qx 'process result: ok' "$log" || { fail "$what: $(grep '^process result:' "$log" || echo 'no process result')"; ok=0; }
  # every output channel finite and above silence
  local outputs bad
  outputs=$(grep -c '^output [0-9]*: ' "$log")
  bad=$(grep '^output [0-9]*: ' "$log" | awk '{ split($4, p, "="); if ($5 != "finite=yes" || p[2] + 0 <= 1e-6) n++ } END { print n + 0 }')
  if [ "$outputs" -ne 2 ] || [ "$bad" -ne 0 ]; then
    fail "$what: output channels: $outputs, silent or not finite: $bad"
    ok=0
  fi
  grep -q '^closed: yes' "$log" || { fail "$what: did not close"; ok=0; }
  if [ "$ok" -eq 1 ]; then
    pass "$what: 2 in / 2 out, id $id, finite non-silent output ($(grep '^output 0:' "$log" | cut -d' ' -f3-4))"
  else
    show "$log"
  fi
}

# ---------------------------------------------------------------------------------------------
# b) Ardour's scanner on our plug-in
check_scanner() {
  local what
  what="Ardour scanner on $(basename "$plugin")"
  if [ ! -x "$scanner" ]; then
    fail "$what: $scanner is missing; run tools/setup-deps.sh (package ardour)"
    return
  fi
  if [ ! -f "$plugin" ]; then
    fail "$what: $plugin is missing (build the Ostrel3 target)"
    return
  fi
  # The scanner writes its cache under XDG_CACHE_HOME; keep everything inside the work folder.
  local log=$work/scan.log rc=0
  mkdir -p "$work/cache" "$work/home" "$work/config" "$work/data"
  XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data HOME=$work/home \
    LD_LIBRARY_PATH=$ardour_libs${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH} \
    timeout 120 "$scanner" -f -v "$plugin" >"$log" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ]; then
    fail "$what: the scan failed with status $rc"
    show "$log"
    return
  fi
  # The scanner exits 0 even when instantiation fails; its log says so.
  if grep -qE '^\[(ERROR|WARNING)\]' "$log"; then
    fail "$what: the scan reported $(grep -cE '^\[(ERROR|WARNING)\]' "$log") error(s)/warning(s)"
    show "$log"
    return
  fi
  local cache
  cache=$(find "$work/cache/ardour7/vst" -name '*.v2i' 2>/dev/null | head -n 1)
  if [ -z "$cache" ]; then
    fail "$what: no cache file under XDG_CACHE_HOME/ardour7/vst"
    show "$log"
    return
  fi
  local info
  info=$(grep -o '<VST2Info [^>]*>' "$cache" | head -n 1)
  if [ -z "$info" ]; then
    fail "$what: the cache file has no VST2Info entry"
    show "$cache"
    return
  fi
  attr() { printf '%s\n' "$info" | sed -n "s/.* $1=\"\([^\"]*\)\".*/\1/p"; }
  local ok=1 v
  v=$(attr name); [ "$v" = "$expect_name" ] || { fail "$what: name is \"$v\", expected \"$expect_name\""; ok=0; }
  v=$(attr id); [ "$v" = "$expect_id" ] || { fail "$what: id is \"$v\", expected \"$expect_id\""; ok=0; }
  v=$(attr n_inputs); [ "$v" = 2 ] || { fail "$what: n_inputs is \"$v\", expected 2"; ok=0; }
  v=$(attr n_outputs); [ "$v" = 2 ] || { fail "$what: n_outputs is \"$v\", expected 2"; ok=0; }
  if [ "$ok" -eq 1 ]; then
    pass "$what: name \"$expect_name\", id $expect_id, n_inputs 2, n_outputs 2"
  else
    show "$cache"
    show "$log"
  fi
}

check_lsp
check_scanner

if [ "$failures" -ne 0 ]; then
  echo "host-checks: $failures check(s) failed"
  exit 1
fi
echo "host-checks: all passed"
