# Sourced by the direct-mode benchmarks: the server named by QV_MSSQL_SERVER / QV_MSSQL_USER /
# QV_MSSQL_PASSWORD, or else a Babelfish test server started from ../shared/babelfish (stopped
# by the caller's EXIT trap through stop_bench_server); sets host, port and tls_args, and gives `sql`
# (a statement in a database, through tsql).
server_dir=
if [ -z "${QV_MSSQL_SERVER:-}" ]; then
  [ -x ../shared/babelfish/start ] || { echo "no server: set QV_MSSQL_SERVER or provide ../shared/babelfish" >&2; exit 1; }
  server_dir=$(mktemp -d /tmp/qv-bench-server.XXXXXX)
  chmod 755 "$server_dir"  # the server may run as another user, who must reach its folder
  port=$((20000 + RANDOM % 12000))
  eval "$(../shared/babelfish/start "$server_dir/bbf" "$port")"
  QV_MSSQL_SERVER=$BABELFISH_HOST:$BABELFISH_PORT
  QV_MSSQL_USER=$BABELFISH_USER
  QV_MSSQL_PASSWORD=$BABELFISH_PASSWORD
  QV_MSSQL_ENCRYPT=optional  # the test server started here does not encrypt
fi
# quorvik's encryption options, from QV_MSSQL_ENCRYPT / QV_MSSQL_CA_FILE /
# QV_MSSQL_TRUST_SERVER_CERT as the tests read them.
tls_args=()
[ "${QV_MSSQL_ENCRYPT:-}" = optional ] && tls_args+=(--encrypt=optional)
[ -n "${QV_MSSQL_CA_FILE:-}" ] && tls_args+=("--ca_file=$QV_MSSQL_CA_FILE")
[ "${QV_MSSQL_TRUST_SERVER_CERT:-}" = 1 ] && tls_args+=(--trust_server_cert)
host=${QV_MSSQL_SERVER%:*}
port=${QV_MSSQL_SERVER##*:}
[ "$port" = "$QV_MSSQL_SERVER" ] && port=1433

stop_bench_server() {
  [ -n "$server_dir" ] || return 0
  "$BABELFISH_STOP" >/dev/null 2>&1 || true
  rm -rf "$server_dir"
}
trap stop_bench_server EXIT

sql() {  # database, statement
  printf 'USE [%s]\ngo\n%s\ngo\n' "$1" "$2" |
    TDSVER=7.4 tsql -H "$host" -p "$port" -U "$QV_MSSQL_USER" -P "$QV_MSSQL_PASSWORD" 2>/dev/null
}
