#!/usr/bin/env bash
# The kiosk service's session under a real cage (headless, pixman): it must end with its client's
# own exit status, since cage itself ends with 0 whatever the client did. A panel that exits 0
# (the exit corner) gives 0; a failed start-up (1), a lost display (2) and a crash (killed) give
# a failure the service manager restarts. Ends with one line "N passed, N failed".
#
#   kiosk_session_test.sh SESSION_SCRIPT
#
# cage refuses to run as root: as root the session runs as the system user quelt-wl (shared with
# the compositor test). Exit status 77 (skipped) when cage is missing.
set -uo pipefail
session=${1:?usage: kiosk_session_test.sh SESSION_SCRIPT}
user_name=quelt-wl
command -v cage > /dev/null || {
  echo "SKIP: cage missing (scripts/setup installs it)"
  exit 77
}
run_as=()
if [[ $(id -u) -eq 0 ]]; then
  id "$user_name" > /dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin "$user_name" || exit 1
  run_as=(setpriv "--reuid=$(id -u "$user_name")" "--regid=$(id -g "$user_name")" --init-groups --)
fi
work=$(mktemp -d /tmp/quelt-kiosk-session-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -m 0700 "$work/runtime"
cp "$session" "$work/kiosk-session"
printf '#!/bin/sh\nexit 0\n' > "$work/exit-corner"
printf '#!/bin/sh\nexit 1\n' > "$work/start-up-failed"
printf '#!/bin/sh\nexit 2\n' > "$work/display-lost"
printf '#!/bin/sh\nkill -KILL $$\n' > "$work/crash"
chmod 0755 "$work" "$work"/kiosk-session "$work"/exit-corner "$work"/start-up-failed \
  "$work"/display-lost "$work"/crash
[[ ${#run_as[@]} -eq 0 ]] || chown -R "$user_name:" "$work"

passed=0
failed=0
for case in exit-corner:0 start-up-failed:1 display-lost:2 crash:137; do
  panel=${case%%:*} expected=${case##*:}
  "${run_as[@]}" env -i PATH=/usr/bin:/bin WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman "$work/kiosk-session" "$work/runtime" "$work/$panel" \
    > "$work/$panel.log" 2>&1 < /dev/null
  status=$?
  if [[ $status -eq $expected ]]; then
    passed=$((passed + 1))
    echo "PASS $panel: $status"
  else
    failed=$((failed + 1))
    echo "FAIL $panel: the session ended with $status, not $expected"
    tail -n 5 "$work/$panel.log" | sed 's/^/  /'
  fi
done
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
