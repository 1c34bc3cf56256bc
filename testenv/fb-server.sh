#!/usr/bin/env bash
# Starts, stops or reports the private Firebird server of the test environment; the one place
# that does, used by setup.sh, stop.sh and the test service that stands in for the Firebird
# service under Wine (tests/fbservice). Idempotent; $FB_DIR/server.pid names the running server.
#
#   fb-server.sh [--testenv DIR] [--result FILE] start|stop|status
#
# start returns once the server listens, stop once its process has gone and the port is closed,
# status exits 0 when it runs and listens, 3 when it does not.
# --testenv names the test environment's folder (build/testenv) for callers whose environment is
# not the test's. Wine starts a Unix program without waiting for it and reports exit code 0, so
# a Windows caller names a --result FILE: the output goes to FILE.log, and the exit code is
# written to FILE last.
set -euo pipefail

result=""
while [ $# -gt 1 ]; do
    case $1 in
    --testenv) export XQV_TESTENV_DIR=$2; shift 2 ;;
    --result) result=$2; shift 2 ;;
    *) break ;;
    esac
done
action=${1:-}

if [ -n "$result" ]; then
    exec >"$result.log" 2>&1
    trap 'code=$?; echo $code >"$result.tmp" && mv -f "$result.tmp" "$result"' EXIT
fi
export PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"

server_listening() {
    (exec 3<>"/dev/tcp/$FB_HOST/$FB_PORT") 2>/dev/null
}

server_pid() {
    local pid
    [ -f "$FB_DIR/server.pid" ] && pid=$(cat "$FB_DIR/server.pid") && kill -0 "$pid" 2>/dev/null &&
        echo "$pid"
}

# wait_until SECONDS COMMAND...: true once the command succeeds, false when the time is up.
wait_until() {
    local tries=$(($1 * 20))
    shift
    while ! "$@"; do
        tries=$((tries - 1))
        [ $tries -gt 0 ] || return 1
        sleep 0.05
    done
}

port_closed() { ! server_listening; }
process_gone() { ! kill -0 "$1" 2>/dev/null; }

write_firebird_config() {
    local sys=/usr/lib/x86_64-linux-gnu/firebird/3.0
    mkdir -p "$FB_DIR/lock" "$FB_DIR/tmp"
    local d
    for d in plugins lib UDF; do ln -sfn "$sys/$d" "$FB_DIR/$d"; done
    # The server refuses a character-set module whose real path lies outside its own folder:
    # intl is a real folder with copies, or no WIN1251 connection can be made.
    [ -L "$FB_DIR/intl" ] && rm -f "$FB_DIR/intl"
    mkdir -p "$FB_DIR/intl"
    cp -f "$sys/intl/libfbintl.so" /etc/firebird/3.0/fbintl.conf "$FB_DIR/intl/"
    cp -f "$sys/firebird.msg" "$FB_DIR/"
    cp -f /etc/firebird/3.0/plugins.conf /etc/firebird/3.0/fbintl.conf "$FB_DIR/"
    [ -f "$FB_DIR/security3.fdb" ] || cp /var/lib/firebird/3.0/system/security3.fdb "$FB_DIR/"
    cat >"$FB_DIR/firebird.conf" <<CONF
RemoteServicePort = $FB_PORT
RemoteBindAddress = $FB_HOST
SecurityDatabase = $FB_DIR/security3.fdb
ServerMode = Super
WireCrypt = Enabled
AuthServer = Srp, Legacy_Auth
UserManager = Srp
CONF
    cat >"$FB_DIR/databases.conf" <<CONF
security.db = $FB_DIR/security3.fdb
{
    RemoteAccess = false
}
CONF
}

start_server() {
    local pid
    if pid=$(server_pid); then
        wait_until 20 server_listening && return
        log "Firebird (pid $pid) runs but does not listen on $FB_HOST:$FB_PORT"
        return 1
    fi
    if server_listening; then
        log "port $FB_PORT is taken by another program"
        return 1
    fi
    write_firebird_config
    log "starting Firebird on $FB_HOST:$FB_PORT"
    # Its own session, and no descriptor of the caller's: a server started from under Wine must
    # hold nothing of Wine's open.
    (
        for fd in /proc/$BASHPID/fd/*; do
            fd=${fd##*/}
            [ "$fd" -gt 2 ] && eval "exec $fd>&-"
        done
        FIREBIRD=$FB_DIR FIREBIRD_LOCK=$FB_DIR/lock FIREBIRD_TMP=$FB_DIR/tmp \
            exec setsid /usr/sbin/firebird </dev/null >>"$FB_DIR/server.log" 2>&1
    ) &
    echo $! >"$FB_DIR/server.pid"
    if ! wait_until 20 server_listening; then
        log "Firebird did not start"
        tail -n 20 "$FB_DIR/server.log" >&2
        return 1
    fi
}

stop_server() {
    local pid
    if pid=$(server_pid); then
        log "stopping Firebird (pid $pid)"
        kill "$pid" 2>/dev/null || true
        wait_until 15 process_gone "$pid" || { kill -9 "$pid" 2>/dev/null || true; }
        wait_until 5 process_gone "$pid" || { log "Firebird (pid $pid) does not end"; return 1; }
    fi
    rm -f "$FB_DIR/server.pid"
    wait_until 10 port_closed || { log "port $FB_PORT stays open"; return 1; }
}

case $action in
start) start_server ;;
stop) stop_server ;;
status)
    if server_pid >/dev/null && server_listening; then
        echo "running"
    else
        echo "stopped"
        exit 3
    fi
    ;;
*)
    echo "usage: fb-server.sh [--testenv DIR] [--result FILE] start|stop|status" >&2
    exit 2
    ;;
esac
