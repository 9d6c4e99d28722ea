#!/usr/bin/env bash
# Runs a command against a private CUPS scheduler: its configuration, spool,
# logs and socket all live under DIR, it listens only on a local socket, and
# it has one raw queue writing to a file, set as the default printer. The
# command sees CUPS_SERVER pointing at the scheduler and
# TAMARIND_CUPS_SPOOL naming its spool folder. The scheduler is stopped when
# the command ends, also when anything fails.
#
#   private_cupsd.sh DIR command [args...]
set -euo pipefail
dir=$1
shift
rm -rf "$dir"
mkdir -p "$dir"/{spool,tmp,cache,state,log,run,out,ppd}
cat >"$dir/cupsd.conf" <<CONF
LogLevel warn
Listen $dir/run/cups.sock
Browsing No
PreserveJobFiles Yes
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
DataDir /usr/share/cups
ServerBin /usr/lib/cups
FileDevice Yes
User lp
Group lp
CONF
chmod 755 "$dir"
chown -R lp:lp "$dir/spool" "$dir/tmp" "$dir/out" "$dir/cache" "$dir/state" "$dir/log"
chmod 777 "$dir/out"

cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" &
pid=$!
stop() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
trap stop EXIT

export CUPS_SERVER="$dir/run/cups.sock"
for _ in $(seq 100); do
  [ -S "$CUPS_SERVER" ] && lpstat -r >/dev/null 2>&1 && break
  kill -0 "$pid" 2>/dev/null || { cat "$dir/log/error_log" >&2 || true; exit 1; }
  sleep 0.1
done
lpadmin -p TamarindTest -E -v "file://$dir/out/job.out" -m raw 2>/dev/null || \
  lpadmin -p TamarindTest -E -v "file://$dir/out/job.out"
lpadmin -d TamarindTest
export TAMARIND_CUPS_SPOOL="$dir/spool"
status=0
"$@" || status=$?
[ $status -eq 0 ] || { echo "--- cupsd error log" >&2; cat "$dir/log/error_log" >&2 || true; }
exit $status
