#!/usr/bin/env bash
# The demonstration's set-up with dpkg-query and apt-get stood in for: when packages are missing,
# it says in one line that it installs those building needs (no more), apt-get's output reaches
# no terminal, and a failed installation names the file that keeps that output.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/tmp"
# Nothing is installed unless INSTALLED is set; apt-get notes its arguments, chatters on both
# streams as the real one does, and fails when APT_FAILS is set.
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
[ -n "${INSTALLED:-}" ] && printf 'install ok installed'
EOF
cat >"$work/bin/apt-get" <<EOF
#!/bin/sh
echo "\$*" >>"$work/apt-get.txt"
echo "Unpacking cmake (3.25.1-1) ..."
echo "invoke-rc.d: policy-rc.d denied execution of start." >&2
[ -z "\${APT_FAILS:-}" ]
EOF
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work"/bin/*

demo() { env PATH="$work/bin:$PATH" TMPDIR="$work/tmp" "$@" bash scripts/demo.sh --bits 512 >"$work/out" 2>"$work/err"; }
fail() { echo "$1"; echo "-- output:"; cat "$work/out"; echo "-- errors:"; cat "$work/err"; exit 1; }
quiet() { ! grep -q -e Unpacking -e invoke-rc.d "$work/out" "$work/err" || fail "apt-get's output reached the terminal"; }

demo INSTALLED=1 || fail "the demonstration failed"
grep -q '^all [0-9]* checks passed$' "$work/out" || fail "no demonstration"
! grep -q installing "$work/out" || fail "installing although nothing is missing"
[ ! -e "$work/apt-get.txt" ] || fail "apt-get ran although nothing is missing"

demo || fail "the demonstration failed"
[ "$(head -n 1 "$work/out")" = "installing cmake g++ make libcli11-dev (apt-get)" ] || fail "not one line first"
grep -q '^all [0-9]* checks passed$' "$work/out" || fail "no demonstration"
quiet
grep -qx 'install -y -qq cmake g++ make libcli11-dev' "$work/apt-get.txt" || fail "$(cat "$work/apt-get.txt")"
[ -z "$(ls "$work/tmp")" ] || fail "the log of a successful installation was left behind"

! demo APT_FAILS=1 || fail "a failed installation went on"
quiet
log=$(sed -n "s/.*apt-get's output is in //p" "$work/err")
[ -n "$log" ] && grep -q Unpacking "$log" && grep -q invoke-rc.d "$log" || fail "no log named: $log"
! grep -q checks "$work/out" || fail "the demonstration ran after a failed installation"
echo "the set-up: 3 cases passed"
