#!/usr/bin/env bash
# Tests the Ansible role for real on this machine: ansible-lint over the role
# and the example playbook, a syntax check with the example inventory (its
# Windows hosts included), and the example playbook run against localhost
# over the local connection, with the native build and the test installer as
# Setup.exe: an installation, a check, an installer that reports a failure
# and a bad settings value. Needs root, ansible and ansible-lint (Debian's),
# and no network. Everything it writes stays in a temp folder that it
# removes. Its last line counts the cases:
# "ansible cases: N run, P passed, F failed".
#   $1  the native build folder (default: $IZ_BUILD_ROOT/native or out/native)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-${IZ_BUILD_ROOT:-$root/out}/native}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Ansible and ansible-lint keep their caches and temp files in the temp folder.
export ANSIBLE_HOME="$tmp/ansible-home" ANSIBLE_LOCAL_TEMP="$tmp/ansible-local"
export ANSIBLE_REMOTE_TEMP="$tmp/ansible-remote" XDG_CACHE_HOME="$tmp/cache"
export ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
cp -r "$here" "$tmp/project"
project="$tmp/project"

mkdir -p "$tmp/media/ZOVTools" "$tmp/zova-work" "$tmp/registry"
cp "$build/tests/test-installer" "$tmp/media/Setup.exe"
cp "$build/installzova" "$tmp/media/ZOVTools/installzova"

# The settings every case shares; load_balance is YAML's boolean on.
cat > "$tmp/vars.yml" <<EOF
installzova_media_src: $tmp/media
installzova_media_dir: $tmp/target
installzova_workdir: $tmp/zova-work
installzova_installdir: $tmp/installed
installzova_zovaversion: "08-10-00"
installzova_storage_eva: y
installzova_load_balance: on
installzova_load_balance_type: exrr
installzova_environment:
  INSTALLZOVA_REGISTRY_ROOT: $tmp/registry
  TEST_INSTALLER_RECORD: $tmp/setup-arguments
EOF
cat > "$tmp/failing.yml" <<EOF
installzova_environment:
  INSTALLZOVA_REGISTRY_ROOT: $tmp/registry
  TEST_INSTALLER_RESULT: "-3"
  TEST_INSTALLER_LINES: QIRU09999-I The failing run's own line.
EOF

ran=0
failed=0

# Runs one case: the command's output is kept and shown when it fails.
check() {  # name, command...
    local name=$1 status=0
    shift
    ran=$((ran + 1))
    "$@" > "$tmp/case.log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
        echo "passed: $name"
    else
        failed=$((failed + 1))
        echo "FAILED: $name"
        sed 's/^/    /' "$tmp/case.log"
    fi
}

# Runs the example playbook on localhost and prints what the checks look at:
# the host's counts, the installzova task, and every failed task's message.
play() {  # expected ansible-playbook exit code, arguments...
    local expected=$1 status=0
    shift
    (cd "$project" && ANSIBLE_STDOUT_CALLBACK=json ansible-playbook -i localhost, -c local \
        site.yml -e "@$tmp/vars.yml" "$@") > "$tmp/play.json" || status=$?
    python3 - "$tmp/play.json" <<'EOF'
import json, sys
result = json.load(open(sys.argv[1]))
stats = result["stats"]["localhost"]
print("host: changed=%d failures=%d" % (stats["changed"], stats["failures"]))
for task in (t for play in result["plays"] for t in play["tasks"]):
    host = task["hosts"].get("localhost", {})
    name = task["task"]["name"].split(" : ")[-1]
    if name == "Run installzova" and not host.get("skipped"):
        print("run: changed=%s rc=%s argv=%s" % (host["changed"], host["rc"], " ".join(host["cmd"])))
    if host.get("failed"):
        msg = host.get("msg")
        print("failed: %s" % name)
        print("\n".join("msg: %s" % line for line in (msg if isinstance(msg, list) else [msg])))
EOF
    echo "ansible-playbook exit status $status"
    [ "$status" -eq "$expected" ]
}

has() {  # file, extended regular expression
    grep -Eq -- "$2" "$1" || { echo "no line matching '$2' in $1:"; cat "$1"; return 1; }
}

lacks() {  # file, extended regular expression
    ! grep -Eq -- "$2" "$1" || { echo "a line matches '$2' in $1:"; cat "$1"; return 1; }
}

lint() {
    (cd "$project" && ansible-lint --offline --nocolor site.yml roles/installzova)
}

syntax() {
    (cd "$project" && ansible-playbook --syntax-check -i inventory.example site.yml)
}

installs() {
    play 0 > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=True rc=0 argv=.*/installzova -f [^ ]*/installzova.ini$' &&
        has "$tmp/out" '^host: changed=[1-9][0-9]* failures=0$' &&
        [ -x "$tmp/target/Setup.exe" ] && [ -x "$tmp/target/ZOVTools/installzova" ] &&
        has "$tmp/target/installzova.ini" '^load_balance=on$' &&
        has "$tmp/target/installzova.ini" '^storage_eva=y$' &&
        has "$tmp/target/installzova.ini" '^fileversion=0201$' &&
        lacks "$tmp/target/installzova.ini" '^storage_emc=' &&
        lacks "$tmp/setup-arguments" '^arg=-silentcheck$'
}

checks() {
    play 0 --check > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=False rc=0 argv=.*/installzova -f [^ ]*/installzova.ini -c$' &&
        has "$tmp/out" '^host: changed=0 failures=0$' &&
        has "$tmp/setup-arguments" '^arg=-silentcheck$'
}

# The result holds the run log from this run's start line on, and nothing of
# the earlier runs in the same run log.
installer_fails() {
    play 2 -e "@$tmp/failing.yml" > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^failed: Report a run that did not succeed$' &&
        has "$tmp/out" '^msg: installzova: exit code 99: the run failed$' &&
        has "$tmp/out" '^msg: QIRU09216-E .*Error Code = -3, 101245$' &&
        has "$tmp/out" "^msg: Run log $tmp/zova-work/installzova.log, this run:$" &&
        has "$tmp/out" "^msg: INFO .{20}QIRU09999-I The failing run's own line\.$" &&
        has "$tmp/out" '^msg: INFO .{20}QIRU09179-I .* 00101219 ResultCode=-3' &&
        [ "$(grep -Ec '^msg: INFO .{20}(QIRU09180-I|.*Installation check starts)' "$tmp/out")" -eq 1 ] &&
        has "$tmp/out" '^msg: INFO .{20}QIRU09180-I' &&
        [ "$(grep -c 'QIRU09180-I' "$tmp/zova-work/installzova.log")" -ge 2 ]
}

# A line break would add a line of its own to the settings file: refused
# before anything is written.
bad_values() {
    play 2 -e installzova_storage_emc=yes > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^msg: installzova: exit code 0: the settings drew warnings' &&
        has "$tmp/out" '^msg: QIRU09193-W .*\(storage_emc=ye\)$' || return 1
    play 2 -e '{"installzova_zovaversion": "1\nrestart=y"}' > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^msg: These settings hold a line break: zovaversion$' &&
        lacks "$tmp/target/installzova.ini" 'restart'
}

check "ansible-lint: role and playbook clean" lint
check "syntax check, Windows and Linux inventory" syntax
check "installation: changed, media copied, settings file written" installs
check "check mode: not changed, -c passed" checks
check "installer reports failure: failed, this run's run-log lines in the result" installer_fails
check "bad settings values: failed, the warning in the result; a line break refused" bad_values
echo "ansible cases: $ran run, $((ran - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
