#!/usr/bin/env bash
# A throw-away SQL Server (the Babelfish test server) for test runs: the test programs that
# talk to a server read its address and login from DIR/server.env.
#
#   test_server.sh start DIR [BABELFISH_DIR]   start a server on a free port, write DIR/server.env
#   test_server.sh stop DIR                    stop it and remove it
#
# With BABELFISH_TLS=1 the server encrypts, with a certificate authority of its own, which
# server.env names (QV_MSSQL_CA_FILE); a plain server's server.env says QV_MSSQL_ENCRYPT=optional.
#
# BABELFISH_DIR (default: ../shared/babelfish beside the source tree) holds the server's own
# `start` script. When it is absent, `start` writes nothing and succeeds: the tests that need
# a server then skip, unless QV_MSSQL_SERVER names one.
#
# Two test runs in one build folder share the server: each run (the process that called the
# script, ctest) is recorded in DIR/users, and the server stops when the last living one is
# done, so one run's cleanup never pulls the server from under another.
set -euo pipefail

usage() {
  echo "usage: test_server.sh start DIR [BABELFISH_DIR] | stop DIR" >&2
  exit 2
}

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# A port nothing listens on, drawn at random below the usual ephemeral range so that a
# developer's server on 1433 and other builds' test servers are left alone.
free_port() {
  local port
  for _ in $(seq 1 200); do
    port=$((20000 + RANDOM % 12000))
    if ! port_in_use "$port" && [ "$port" != "${1:-0}" ]; then
      echo "$port"
      return 0
    fi
  done
  echo "test_server.sh: no free TCP port found" >&2
  return 1
}

# Keeps only the runs whose process still lives.
prune_users() {
  local dir=$1 pid
  [ -f "$dir/users" ] || return 0
  : >"$dir/users.tmp"
  while read -r pid; do
    if [ -n "$pid" ] && [ -d "/proc/$pid" ]; then echo "$pid" >>"$dir/users.tmp"; fi
  done <"$dir/users"
  mv "$dir/users.tmp" "$dir/users"
}

# Whether the server DIR records is up and answering on its port.
server_running() {
  local dir=$1 server
  [ -f "$dir/server.env" ] || return 1
  server=$(sed -n 's/^QV_MSSQL_SERVER=//p' "$dir/server.env")
  port_in_use "${server##*:}"
}

# Stops and removes the server DIR records, if any, and forgets its login.
stop_server() {
  local dir=$1 server_dir
  rm -f "$dir/server.env"
  [ -f "$dir/server.dir" ] || return 0
  server_dir=$(cat "$dir/server.dir")
  if [ -n "$server_dir" ] && [ -d "$server_dir" ]; then
    if [ -x "$server_dir/stop" ]; then "$server_dir/stop" >/dev/null 2>&1 9>&- || true; fi
    rm -rf "$server_dir"
  fi
  rm -f "$dir/server.dir"
}

start_server() {
  local dir=$1 babelfish=$2 attempt server_dir port pg_port out
  if [ ! -x "$babelfish/start" ]; then
    echo "test_server.sh: $babelfish/start not found; tests that need a server will skip"
    return 0
  fi
  # Two runs may pick the same port at the same moment; the loser tries again elsewhere.
  for attempt in 1 2 3; do
    # The server runs as an unprivileged user when started by root, so it lives in a
    # folder every user can reach rather than in the build tree.
    server_dir=$(mktemp -d "${TMPDIR:-/tmp}/qv-test-server.XXXXXX")
    chmod 755 "$server_dir"
    echo "$server_dir" >"$dir/server.dir"
    port=$(free_port)
    pg_port=$(free_port "$port")
    # The server must not inherit the lock, or it would hold it for its whole life.
    if out=$(BABELFISH_PG_PORT=$pg_port "$babelfish/start" "$server_dir" "$port" 2>"$dir/start.log" 9>&-); then
      local BABELFISH_USER="" BABELFISH_PASSWORD="" BABELFISH_CA=""
      eval "$out"
      {
        echo "QV_MSSQL_SERVER=127.0.0.1:$port"
        echo "QV_MSSQL_USER=$BABELFISH_USER"
        echo "QV_MSSQL_PASSWORD=$BABELFISH_PASSWORD"
        # A TLS server names its own certificate authority; a plain one can only be reached
        # with encryption optional.
        if [ -n "$BABELFISH_CA" ]; then
          echo "QV_MSSQL_CA_FILE=$BABELFISH_CA"
        else
          echo "QV_MSSQL_ENCRYPT=optional"
        fi
      } >"$dir/server.env.tmp"
      mv "$dir/server.env.tmp" "$dir/server.env"
      echo "test_server.sh: test server on 127.0.0.1:$port ($server_dir)"
      return 0
    fi
    echo "test_server.sh: attempt $attempt on port $port failed:" >&2
    tail -n 20 "$dir/start.log" >&2
    stop_server "$dir"
  done
  echo "test_server.sh: the test server did not start" >&2
  return 1
}

[ $# -ge 2 ] || usage
dir=$2
mkdir -p "$dir"
exec 9>"$dir/lock"
# A start takes seconds, at worst a few minutes; a lock held longer than that is an error to
# report, not one to step around (two starts at once would each leave a server behind).
if ! flock -w 240 9; then
  echo "test_server.sh: $dir/lock is still taken after 4 minutes" >&2
  exit 1
fi
prune_users "$dir"
case "$1" in
  start)
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    if [ -s "$dir/users" ] && server_running "$dir"; then
      echo "test_server.sh: sharing the running test server ($(sed -n 's/^QV_MSSQL_SERVER=//p' "$dir/server.env"))"
    else
      # Whatever an interrupted run left behind goes first.
      stop_server "$dir"
      start_server "$dir" "${3:-$here/../../shared/babelfish}"
    fi
    echo "$PPID" >>"$dir/users"
    ;;
  stop)
    if [ -f "$dir/users" ]; then grep -vx "$PPID" "$dir/users" >"$dir/users.tmp" || true; fi
    [ -f "$dir/users.tmp" ] && mv "$dir/users.tmp" "$dir/users"
    if [ ! -s "$dir/users" ]; then
      stop_server "$dir"
    else
      echo "test_server.sh: another test run still uses the server"
    fi
    ;;
  *) usage ;;
esac
