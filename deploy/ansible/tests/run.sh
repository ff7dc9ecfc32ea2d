#!/usr/bin/env bash
# Tests the collection kestron.zova for real on this machine: it is linted
# (the production profile pinned in its .ansible-lint), built with
# ansible-galaxy, installed from the tarball into a temporary collections
# path, and its playbook is syntax-checked with the example inventory (its
# Windows hosts included) and run against localhost over the local
# connection, with the native build and the test installer as Setup.exe.
# Needs root, ansible and ansible-lint (Debian's), util-linux (flock,
# unshare) and no network. Everything it writes stays in a temp folder that
# it removes; the cases that need the machine-wide lock or a pending restart
# take them inside a private mount namespace, never on the machine itself.
# Prints the first and the second play's times, and last the cases:
# "ansible cases: N run, P passed, F failed".
#   $1  the native build folder (default: $IZ_BUILD_ROOT/native or out/native)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-${IZ_BUILD_ROOT:-$root/out}/native}" && pwd)
tmp=$(mktemp -d)
holder=
trap '[ -z "$holder" ] || kill "$holder" 2>/dev/null || true; rm -rf "$tmp"' EXIT

# Ansible keeps its caches and temp files in the temp folder, and finds the
# collection only where the test installed it.
export ANSIBLE_HOME="$tmp/ansible-home" ANSIBLE_LOCAL_TEMP="$tmp/ansible-local"
export ANSIBLE_REMOTE_TEMP="$tmp/ansible-remote" XDG_CACHE_HOME="$tmp/cache"
export ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_COLLECTIONS_PATH="$tmp/collections" ANSIBLE_CONFIG="$tmp/ansible.cfg"
source_collection="$here/collections/ansible_collections/kestron/zova"
printf '[defaults]\ndisplay_skipped_hosts = false\n' > "$ANSIBLE_CONFIG"

mkdir -p "$tmp/media/ZOVTools" "$tmp/zova-work" "$tmp/registry/SOFTWARE/KESTRON"
cp "$build/tests/test-installer" "$tmp/media/Setup.exe"
cp "$build/installzova" "$tmp/media/ZOVTools/installzova"
option_file="$tmp/registry/SOFTWARE/KESTRON/PathSentryMultiway/InstallationOption"

# The settings every case shares; load_balance is YAML's boolean on. The
# facts folder is the test's own; the restart is a harmless stand-in that
# leaves a file (a test-only variable).
cat > "$tmp/vars.yml" <<VARS
installzova_media_src: $tmp/media
installzova_media_dir: $tmp/target
installzova_workdir: $tmp/zova-work
installzova_installdir: $tmp/installed
installzova_fact_dir: $tmp/facts
installzova_zovaversion: "08-10-00"
installzova_storage_eva: y
installzova_load_balance: on
installzova_load_balance_type: exrr
installzova_busy_delay: 0
installzova_test_reboot_command: [touch, $tmp/restarted]
installzova_environment:
  INSTALLZOVA_REGISTRY_ROOT: $tmp/registry
  TEST_INSTALLER_RECORD: $tmp/setup-arguments
  TEST_INSTALLER_PRODUCT_OPTION: $option_file
VARS

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

# Runs the collection's playbook on localhost and prints what the checks look
# at: the host's counts, each run of installzova, the result fact, every
# changed task and every failed task's message. $wrap may run it in a
# private mount namespace.
play() {  # expected ansible-playbook exit code, arguments...
    local expected=$1 status=0
    shift
    ${wrap:-} env ANSIBLE_STDOUT_CALLBACK=json ansible-playbook -i localhost, -c local \
        kestron.zova.site -e "@$tmp/vars.yml" "$@" > "$tmp/play.json" || status=$?
    python3 - "$tmp/play.json" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))
stats = result["stats"].get("localhost", {"changed": 0, "failures": 0})
print("host: changed=%d failures=%d" % (stats["changed"], stats["failures"]))
for task in (t for play in result["plays"] for t in play["tasks"]):
    host = task["hosts"].get("localhost", {})
    name = task["task"]["name"].split(" : ")[-1]
    if name.startswith("Run installzova on") and not host.get("skipped"):
        print("run: changed=%s rc=%s attempts=%s argv=%s" % (host["changed"], host.get("rc"),
              host.get("attempts", 1), " ".join(host.get("cmd", []))))
    fact = host.get("ansible_facts", {}).get("installzova_result")
    if fact:
        print("result: rc=%r changed=%r reboot_required=%r warnings=%s" % (
            fact["rc"], fact["changed"], fact["reboot_required"], json.dumps(fact["warnings"])))
        print("\n".join("result line: %s" % line for line in fact["run_log_lines"]))
    if host.get("changed"):
        print("changed: %s" % name)
    if host.get("diff"):
        for diff in host["diff"] if isinstance(host["diff"], list) else [host["diff"]]:
            if isinstance(diff.get("after"), str):
                print("diff: %s" % diff["after"].replace("\n", "|"))
    if host.get("failed"):
        msg = host.get("msg")
        print("failed: %s" % name)
        print("\n".join("msg: %s" % line for line in (msg if isinstance(msg, list) else [msg])))
PY
    echo "ansible-playbook exit status $status"
    [ "$status" -eq "$expected" ]
}

has() {  # file, extended regular expression
    grep -Eq -- "$2" "$1" || { echo "no line matching '$2' in $1:"; cat "$1"; return 1; }
}

lacks() {  # file, extended regular expression
    ! grep -Eq -- "$2" "$1" || { echo "a line matches '$2' in $1:"; cat "$1"; return 1; }
}

# How many runs of the installer the run log holds.
starts() {
    grep -c 'QIRU09180-I' "$tmp/zova-work/installzova.log" 2>/dev/null || true
}

# Microseconds since 1970.
now_us() {
    echo "${EPOCHREALTIME/./}"
}

# From a copy in a collections tree of its own, where the playbook finds the
# role by its full name.
lint() {
    mkdir -p "$tmp/lint/ansible_collections/kestron"
    cp -r "$source_collection" "$tmp/lint/ansible_collections/kestron/zova"
    (cd "$tmp/lint/ansible_collections/kestron/zova" &&
        ANSIBLE_COLLECTIONS_PATH="$tmp/lint" ansible-lint --nocolor)
}

build_and_install() {
    ansible-galaxy collection build "$source_collection" --output-path "$tmp/dist" &&
        ansible-galaxy collection install --offline --no-deps -p "$tmp/collections" \
            "$tmp/dist"/kestron-zova-*.tar.gz &&
        [ -f "$tmp/collections/ansible_collections/kestron/zova/playbooks/site.yml" ] &&
        ansible-doc -t role kestron.zova.installzova | grep -q 'installzova_busy_retries'
}

syntax() {
    (cd "$here" && ansible-playbook --syntax-check -i inventory.example kestron.zova.site)
}

# A bad value stops the play on the controller: nothing reaches the host.
bad_values() {
    local bad
    for bad in installzova_storage_emc=yes installzova_error_log_size=12345678 \
               installzova_mode=repair installzova_wait_seconds=86401; do
        play 2 -e "$bad" > "$tmp/out" || { cat "$tmp/out"; return 1; }
        has "$tmp/out" '^host: changed=0 failures=1$' &&
            has "$tmp/out" '^failed: (Validating arguments against arg spec|Refuse settings values beyond their limits)' &&
            [ ! -e "$tmp/target" ] && [ ! -e "$tmp/facts" ] || { echo "for $bad"; return 1; }
    done
}

# Check mode on a fresh host: what would change, and nothing written.
check_mode_fresh() {
    play 0 --check --diff > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^changed: Tell what would run installzova$' &&
        has "$tmp/out" '^diff: .*load_balance=on' &&
        lacks "$tmp/out" '^run: ' &&
        [ ! -e "$tmp/target" ] && [ ! -e "$tmp/facts" ] && [ ! -e "$tmp/setup-arguments" ] &&
        [ -z "$(ls -A "$tmp/zova-work")" ]
}

installs() {
    local began
    began=$(now_us)
    play 0 > "$tmp/out" || { cat "$tmp/out"; return 1; }
    first_play=$(($(now_us) - began))
    has "$tmp/out" '^run: changed=True rc=0 attempts=1 argv=.*/installzova -f [^ ]*/installzova.ini$' &&
        has "$tmp/out" '^result: rc=0 changed=True reboot_required=False warnings=\[\]$' &&
        has "$tmp/out" '^result line: INFO .{20}QIRU09180-I' &&
        has "$tmp/out" '^result line: INFO .{20}QIRU09181-I' &&
        has "$tmp/out" '^host: changed=[1-9][0-9]* failures=0$' &&
        [ "$(starts)" -eq 1 ] &&
        [ -x "$tmp/target/Setup.exe" ] && [ -x "$tmp/target/ZOVTools/installzova" ] &&
        has "$tmp/target/installzova.ini" '^load_balance=on$' &&
        has "$tmp/target/installzova.ini" '^storage_eva=y$' &&
        has "$tmp/target/installzova.ini" '^restart=n$' &&
        lacks "$tmp/target/installzova.ini" '^storage_emc=|^\[INSTALLZOVA\]' &&
        has "$tmp/facts/installzova.fact" '"succeeded": true' &&
        lacks "$tmp/setup-arguments" '^arg=-silentcheck$'
}

converges() {
    local began
    began=$(now_us)
    play 0 > "$tmp/out" || { cat "$tmp/out"; return 1; }
    second_play=$(($(now_us) - began))
    has "$tmp/out" '^host: changed=0 failures=0$' && lacks "$tmp/out" '^run: ' &&
        [ "$(starts)" -eq 1 ] || return 1
    # A figure to read, not to assert: the machine's speed decides it, and
    # the test installer takes no time where a real one takes minutes.
    printf 'first play %d ms, second play %d ms\n' $((first_play / 1000)) $((second_play / 1000)) |
        tee "$tmp/times"
}

# A settings change: check mode shows the difference and changes nothing;
# the real play runs the installer again, sends restart=n and restarts the
# host by the handler afterwards.
settings_change() {
    local before
    before=$(sha1sum "$tmp/target/installzova.ini")
    play 0 --check --diff -e installzova_restart=y -e installzova_error_log_level=3 > "$tmp/out" ||
        { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^diff: .*error_log_level=3' && [ "$(starts)" -eq 1 ] &&
        [ "$before" = "$(sha1sum "$tmp/target/installzova.ini")" ] || return 1
    play 0 -e installzova_restart=y -e installzova_error_log_level=3 > "$tmp/out" ||
        { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=True rc=0 ' &&
        has "$tmp/out" '^result: rc=0 changed=True reboot_required=True' &&
        has "$tmp/out" '^changed: Run the tests. stand-in for a restart$' &&
        [ -e "$tmp/restarted" ] && [ "$(starts)" -eq 2 ] &&
        has "$tmp/target/installzova.ini" '^restart=n$'
}

# New media on the controller are copied and installed, although the program
# is on the host already.
new_media() {
    printf 'new media\n' >> "$tmp/media/Setup.exe"
    play 0 -e installzova_restart=y -e installzova_error_log_level=3 > "$tmp/out" ||
        { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=True rc=0 ' && [ "$(starts)" -eq 3 ] &&
        cmp "$tmp/media/Setup.exe" "$tmp/target/Setup.exe"
}

# The result holds this run's lines of the run log by the record's offsets,
# nothing of the earlier runs; the next play runs again.
installer_fails() {
    play 2 -e '{"installzova_environment": {"INSTALLZOVA_REGISTRY_ROOT": "'"$tmp"'/registry",
        "TEST_INSTALLER_RESULT": "-3",
        "TEST_INSTALLER_LINES": "QIRU09999-I The failing run'"'"'s own line."}}' \
        -e installzova_force=true > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^failed: Report a run that did not succeed$' &&
        has "$tmp/out" '^msg: installzova: exit code 99: the run failed$' &&
        has "$tmp/out" '^msg: QIRU09216-E .*Error Code = -3, 101245$' &&
        has "$tmp/out" "^msg: Run log $tmp/zova-work/installzova.log, this run:$" &&
        has "$tmp/out" "^msg: INFO .{20}QIRU09999-I The failing run's own line\.$" &&
        [ "$(grep -Ec '^msg: INFO .{20}QIRU09180-I' "$tmp/out")" -eq 1 ] &&
        has "$tmp/facts/installzova.fact" '"succeeded": false' || return 1
    play 0 > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=True rc=0 '
}

# Warnings about the settings: exit 0, but the values were ignored.
warns() {
    play 2 -e installzova_fileversion=0301 > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^msg: installzova: exit code 0: the settings drew warnings' &&
        has "$tmp/out" '^result: rc=0 changed=False .*"key": "fileversion", "message": "QIRU09192-W", "value": "0301"'
}

installzova_mode_check() {
    play 0 -e installzova_mode=check > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=False rc=0 attempts=1 argv=.*/installzova -f [^ ]*/installzova.ini -c$' &&
        has "$tmp/out" '^host: changed=0 failures=0$' &&
        has "$tmp/setup-arguments" '^arg=-silentcheck$'
}

# Media that were never copied: the program cannot be started.
not_started() {
    play 2 -e '{"installzova_media_src": null}' -e "installzova_media_dir=$tmp/nowhere" \
        -e "installzova_settings_file=$tmp/nowhere.ini" -e installzova_force=true > "$tmp/out" ||
        { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^result: rc=-1 changed=False ' &&
        has "$tmp/out" '^msg: installzova could not be started: .*No such file'
}

# The cases below need the program's machine-wide lock and pending-restart
# check. Each runs in a mount namespace of its own whose /run is private, so
# the machine's own lock and /run/reboot-required are never touched.
in_private_run() {  # script run with a private /run
    unshare --mount sh -c 'mount -t tmpfs -o mode=0755 tmpfs /run && exec "$@"' sh "$@"
}

busy() {
    wrap="in_private_run_busy" play 2 -e installzova_wait_seconds=0 -e installzova_busy_retries=2 \
        -e installzova_force=true > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=False rc=75 ' &&
        has "$tmp/out" '^msg: installzova: exit code 75: another installation is in progress; tried 3 times$'
}

# Holds the lock in the namespace while the play runs: the holder says when
# it has the lock through a file, and ends with the namespace's shell.
in_private_run_busy() {
    in_private_run sh -c '
        flock /run/installzova.lock sh -c "touch '"$tmp"'/held; exec sleep 600" &
        while [ ! -e '"$tmp"'/held ]; do sleep 0.05; done
        "$@"; status=$?; kill $! 2>/dev/null; rm -f '"$tmp"'/held; exit $status' sh "$@"
}

restart_pending() {
    wrap="in_private_run_pending" play 2 -e installzova_pending_reboot=stop \
        -e installzova_force=true > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=False rc=69 ' &&
        has "$tmp/out" '^msg: installzova: exit code 69: the host waits for a restart$' &&
        lacks "$tmp/out" 'stand-in for a restart'
}

# With installzova_reboot_first the host is restarted (the stand-in ends the
# pending restart) and installzova runs once more, successfully.
reboot_first() {
    rm -f "$tmp/restarted"
    wrap="in_private_run_pending" play 0 -e installzova_pending_reboot=stop \
        -e installzova_force=true -e installzova_reboot_first=true \
        -e '{"installzova_test_reboot_command": ["sh", "-c", "rm /run/reboot-required && touch '"$tmp"'/restarted"]}' \
        > "$tmp/out" || { cat "$tmp/out"; return 1; }
    has "$tmp/out" '^run: changed=False rc=69 ' && has "$tmp/out" '^run: changed=True rc=0 ' &&
        [ -e "$tmp/restarted" ]
}

in_private_run_pending() {
    in_private_run sh -c 'touch /run/reboot-required && exec "$@"' sh "$@"
}

check "ansible-lint: the collection clean under the production profile" lint
check "collection built, installed from its tarball, documented by ansible-doc" build_and_install
check "syntax check, Windows and Linux inventory" syntax
check "bad variable values: failed before any task touches the host" bad_values
check "check mode on a fresh host: would change, nothing written, installer not run" check_mode_fresh
check "first play: changed, media copied, settings written, installer run once" installs
check "second play: nothing changed, installer not run" converges
check "settings change: --check --diff shows it and changes nothing; the play reruns and restarts by the handler" settings_change
check "new media on the controller: copied and installed" new_media
check "installer reports failure: failed, this run's run-log lines; the next play reruns" installer_fails
check "installzova_mode check: -c run for real, nothing changed" installzova_mode_check
check "settings warnings: failed, the warning in the result" warns
check "program missing on the host: could not be started" not_started
check "busy: exit 75 tried again, then failed" busy
check "restart pending: exit 69 fails the host" restart_pending
check "restart pending with installzova_reboot_first: restarted, run again" reboot_first
[ ! -e "$tmp/times" ] || cat "$tmp/times"
echo "ansible cases: $ran run, $((ran - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
