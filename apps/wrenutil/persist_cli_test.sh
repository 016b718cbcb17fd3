#!/usr/bin/env bash
# The demo client's persistent side, step by step, in a temporary data folder:
# settings and head images survive between runs, a damaged profile is moved
# aside (and said so), a read-only one is refused with its name, and two
# clients writing at once lose nothing.
#   persist_cli_test.sh PATH/TO/wrenutil
set -u
program=$1
dir=$(mktemp -d "${TMPDIR:-/tmp}/wrenutil-cli-XXXXXX")
trap 'chmod -R u+w "$dir"; rm -rf "$dir"' EXIT
export WRENUTIL_DATA_DIR=$dir/data
failures=0

# check NAME EXPECTED-CODE PATTERN -- ARGS...: runs the program, checks its
# exit code and that its output (stdout then stderr) matches PATTERN (grep -E).
check() {
  local name=$1 code=$2 pattern=$3
  shift 4
  local out
  out=$("$program" "$@" 2>&1)
  local got=$?
  if [ "$got" != "$code" ] || ! grep -Ezq -- "$pattern" <<<"$out"; then
    echo "FAIL $name: exit $got (expected $code), output:" >&2
    echo "$out" >&2
    failures=$((failures + 1))
  fi
  if grep -q "internal error" <<<"$out"; then
    echo "FAIL $name: $out" >&2
    failures=$((failures + 1))
  fi
}

check set 0 'stored under 组织 / key' -- settings set 组织 key '{"n":{"@u64":18446744073709551615},"t":"鹪鹩","b":{"@buf":"00ff"}}'
check get 0 '"n":18446744073709551615,"t":"鹪鹩","b":\{"@buf":"00ff"\}' -- settings get 组织 key --one-line
check ls 0 'key' -- settings ls 组织
check empty-key 2 'must not be empty' -- settings set 组织 '' '{}'
check data-dir-option 1 'nothing is stored' -- --data-dir "$dir/other" settings get 组织 key

head -c 20480 /dev/urandom >"$dir/a.png"
: >"$dir/empty.png"
head -c $((10 * 1024 * 1024)) /dev/urandom >"$dir/big.png"
check put 0 'stored 20480 bytes as MarlinHeadImage:10002.png' -- headimage put 10002 "$dir/a.png"
check put-empty 0 'stored 0 bytes' -- headimage put 10003 "$dir/empty.png"
check put-10mb 0 'stored 10485760 bytes' -- headimage put 10004 "$dir/big.png"
check list 0 '10002.png	20480 bytes.*10003.png	0 bytes.*10004.png	10485760 bytes' -- headimage ls
for uin in 10002 10004; do
  check "get-$uin" 0 "wrote" -- headimage get $uin --out "$dir/back.png"
  src=$dir/a.png
  [ $uin = 10004 ] && src=$dir/big.png
  cmp -s "$src" "$dir/back.png" || { echo "FAIL get-$uin: bytes differ" >&2; failures=$((failures + 1)); }
done
check rm 0 'removed MarlinHeadImage:10003.png' -- headimage rm 10003
check rm-again 1 'no head image for 10003' -- headimage rm 10003

# A damaged profile is moved aside with a time stamp and a fresh one started.
profile=$WRENUTIL_DATA_DIR/Corvid/10008/profile.db
echo "not a database" >"$profile"
check damaged 0 'warning: .*profile.db is damaged .*moved aside to .*profile.db.corrupt-[0-9]{8}T[0-9]{6}Z' -- settings get OrgstructAndCustomPage TBarTabBtnSetting
ls "$profile".corrupt-* >/dev/null 2>&1 || { echo "FAIL damaged: nothing moved aside" >&2; failures=$((failures + 1)); }
check after-damage 1 'nothing is stored under 组织 / key' -- settings get 组织 key

# A read-only profile: read, never written; the error names the file.
chmod 0444 "$profile"
check read-only-get 0 'ShowAccount' -- settings get OrgstructAndCustomPage TBarTabBtnSetting
check read-only-set 1 "profile.db is read-only; nothing was written" -- settings set s k '{}'
chmod 0644 "$profile"

# Two clients writing the same profile at once.
for who in a b; do
  (for i in $(seq 1 25); do
    "$program" settings set race "$who$i" "{\"i\": $i}" >/dev/null 2>>"$dir/race.err" || echo "failed $who$i" >>"$dir/race.err"
  done) &
done
wait
if [ -s "$dir/race.err" ]; then
  echo "FAIL race: $(cat "$dir/race.err")" >&2
  failures=$((failures + 1))
fi
count=$("$program" settings ls race | wc -l)
[ "$count" = 50 ] || { echo "FAIL race: $count keys, expected 50" >&2; failures=$((failures + 1)); }

if [ "$failures" != 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "all passed"
