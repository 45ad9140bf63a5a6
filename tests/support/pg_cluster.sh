#!/usr/bin/env bash
# Runs a command against a throw-away PostgreSQL cluster: initdb in a temporary folder, a
# private Unix socket (no TCP), password logins only; stopped and removed at the end,
# whatever the command does. As root the server runs as the unprivileged user "nobody".
# The command sees PGHOST, PGPORT, PGUSER, PGPASSWORD and PGDATABASE (database "quillon").
# Usage: pg_cluster.sh COMMAND [ARGS...]
# Without the server binaries (Debian's postgresql package) it skips with exit 77, but
# fails when CI is set.
set -u
bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ] || [ ! -x "$bindir/pg_ctl" ]; then
  if [ -n "${CI:-}" ]; then
    echo "FAIL: the PostgreSQL server binaries are missing (install the postgresql package)"
    exit 1
  fi
  echo "SKIPPED: the PostgreSQL server binaries are not installed (apt-get install postgresql)"
  exit 77
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/quillon-pg.XXXXXX") || exit 1
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$dir" || exit 1
  as_owner=(runuser -u nobody --)
fi
cleanup() {
  (cd "$dir" && "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1)
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

password=$(od -An -tx1 -N16 /dev/urandom | tr -d ' \n')
(umask 077 && printf '%s\n' "$password" > "$dir/password") || exit 1
[ ${#as_owner[@]} -eq 0 ] || chown nobody "$dir/password"
cd "$dir" || exit 1
if ! "${as_owner[@]}" "$bindir/initdb" -D "$dir/data" -U quillon --pwfile="$dir/password" -A scram-sha-256 \
     -E UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1; then
  echo "FAIL: initdb failed:"; cat "$dir/initdb.log"; exit 1
fi
rm -f "$dir/password"
"${as_owner[@]}" mkdir -m 0700 "$dir/socket"
if ! "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
     -o "-k $dir/socket -c listen_addresses= -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
     start >/dev/null; then
  echo "FAIL: the server did not start:"; cat "$dir/server.log"; exit 1
fi

export PGHOST=$dir/socket PGPORT=5432 PGUSER=quillon PGPASSWORD=$password PGDATABASE=quillon
unset PGSERVICE PGPASSFILE PGOPTIONS
"$bindir/createdb" quillon || { echo "FAIL: createdb failed"; exit 1; }
cd - >/dev/null || exit 1
"$@"
