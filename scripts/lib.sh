# Shared steps of the README's commands: install, build, private server.
# Sourced by scripts/test.sh and scripts/run.sh; every step runs as root on
# Debian 12.

ZT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# One compiler cache for every clone: paths below the clone's top are hashed
# relative to it. The test programs include a precompiled header, which the
# cache takes only with these sloppinesses.
export CCACHE_BASEDIR="$ZT_ROOT" CCACHE_NOHASHDIR=true CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-10G}"
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
# util-linux gives flock, which keeps builds in one folder apart; tzdata the
# time zone the private server loads.
ZT_PACKAGES="cmake make g++ g++-multilib locales libgtest-dev:i386 libgmock-dev:i386 libbenchmark-dev:i386
  libmariadb3:i386 libmariadb-dev-compat:i386 mariadb-server mariadb-client clang libclang-rt-14-dev openssl ccache
  util-linux tzdata"

# zt_fail STEP: names the step that failed, on standard error, and ends
# the command with 1.
zt_fail() {
  zt_step_failed "$1"
  exit 1
}
zt_step_failed() {
  echo "${0##*/}: $1 failed" >&2
}

zt_setup() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  local missing=""
  for p in $ZT_PACKAGES; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
  done
  if [ -n "$missing" ]; then
    echo "installing:$missing"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
  fi
}

# zt_build DIR TARGETS [cmake options...]: configures DIR and builds the
# targets named (separated by spaces; "" builds everything), with as many
# jobs as CMAKE_BUILD_PARALLEL_LEVEL says (by default one per processor).
# One build at a time in a folder: another command building there is
# waited for, and the folder is free again once this build ends.
zt_build() {
  local dir="$1" targets="$2"; shift 2
  mkdir -p "$dir" || return 1
  (
    if ! flock -n 9; then
      echo "waiting for another command's build in $dir"
      flock 9 || exit 1
    fi
    cmake -S "$ZT_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null || exit 1
    # shellcheck disable=SC2086
    CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
      cmake --build "$dir" ${targets:+--target $targets}
  ) 9>"$dir/.build-lock"
}

zt_free_port() {
  local port
  for _ in $(seq 1 200); do
    port=$((20000 + RANDOM % 20000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"; return 0
    fi
  done
  return 1
}

# zt_make_certificates DIR: a CA and a server certificate signed by it for
# 127.0.0.1 and localhost (ca.pem, server-cert.pem, server-key.pem). openssl
# runs in DIR on names without it: it refuses a serial file's path past 255
# bytes, which DIR passes in a clone at a long path.
zt_make_certificates() {
  local dir="$1"
  mkdir -p "$dir" || return 1
  (
    cd "$dir" || exit 1
    {
      openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=zt test CA" -keyout ca-key.pem -out ca.pem &&
        openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server-key.pem -out server.csr &&
        printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >server.ext &&
        openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 2 \
          -extfile server.ext -out server-cert.pem
    } >openssl.log 2>&1 || { cat openssl.log; exit 1; }
  )
}

# zt_mariadbd DIR [mariadbd options...]: a MariaDB server on 127.0.0.1 at
# a free port with a fresh data folder in DIR/data, the test database and
# the test user; sets ZT_MARIADBD_PID, ZT_MARIADBD_PORT and
# ZT_MARIADBD_SOCKET (in a folder of its own under /tmp, which
# zt_server_folder_remove removes with DIR).
zt_mariadbd() {
  local dir="$1"; shift
  # Another test may take the free port first, or a start may stall under
  # load: each attempt starts afresh on a new port.
  local attempt
  for attempt in 1 2 3; do
    if _zt_mariadbd_once "$dir" "$@"; then return 0; fi
    echo "attempt $attempt to start the server in $dir failed" >&2
  done
  return 1
}

# _zt_server_said DIR PID: a server that did not start is ended, then what
# it said goes to standard error: what it wrote before its log opened (an
# option it refuses, a data folder it cannot use) and its log, whichever it
# wrote.
_zt_server_said() {
  local dir="$1" pid="$2" file
  if kill "$pid" 2>/dev/null; then
    echo "the server in $dir did not answer in time"
  fi
  wait "$pid" 2>/dev/null
  for file in "$dir/mariadbd.out" "$dir/error.log"; do
    if [ -s "$file" ]; then cat "$file"; fi
  done
} >&2

# _zt_socket_folder DIR: the folder of DIR's server socket, made under /tmp
# on first use and noted in DIR/socket-folder. The server refuses a socket
# path past 107 bytes, which DIR passes in a clone at a long path. The
# folder notes DIR in its file "server", so that a start can tell the
# folders of servers whose own folder is gone.
_zt_socket_folder() {
  local dir="$1" folder
  folder="$(cat "$dir/socket-folder" 2>/dev/null)"
  if [ -z "$folder" ]; then
    folder="$(mktemp -d /tmp/zt-mariadb.XXXXXX)" || return 1
    printf '%s\n' "$dir" >"$folder/server"
    printf '%s\n' "$folder" >"$dir/socket-folder"
  fi
  printf '%s\n' "$folder"
}

# zt_server_folder_remove DIR: removes a server's folder and its socket's.
zt_server_folder_remove() {
  local dir="$1" folder
  folder="$(cat "$dir/socket-folder" 2>/dev/null)"
  # Only a folder that notes this server as its own.
  if [ -n "$folder" ] && [ "$(cat "$folder/server" 2>/dev/null)" = "$dir" ]; then
    rm -rf "$folder"
  fi
  rm -rf "$dir"
}

_zt_mariadbd_once() {
  local dir="$1"; shift
  # Each server keeps its temporary tables in a folder of its own: a server
  # that starts deletes every temporary table it finds in its folder, those
  # of the servers running beside it too. Its log is this attempt's alone.
  rm -rf "$dir/data" "$dir/tmp" "$dir/error.log"; mkdir -p "$dir/data" "$dir/tmp"
  local folder socket
  folder="$(_zt_socket_folder "$dir")" || return 1
  socket="$folder/mysqld.sock"
  # mariadb-install-db splits its folders' paths at blanks: it reaches DIR
  # by a link in the socket's folder, whose path holds none.
  ln -sfn "$dir" "$folder/dir" || return 1
  TMPDIR="$folder/dir/tmp" mariadb-install-db --no-defaults --datadir="$folder/dir/data" --user=root \
    --auth-root-authentication-method=socket --skip-test-db >"$dir/install.log" 2>&1 \
    || { cat "$dir/install.log" >&2; return 1; }
  local port; port="$(zt_free_port)"
  mariadbd --no-defaults --user=root --datadir="$dir/data" --tmpdir="$dir/tmp" --bind-address=127.0.0.1 \
    --port="$port" --socket="$socket" --pid-file="$dir/mysqld.pid" \
    --log-error="$dir/error.log" --skip-log-bin --innodb-buffer-pool-size=64M \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
    --innodb-lock-wait-timeout=1 "$@" >"$dir/mariadbd.out" 2>&1 </dev/null &
  ZT_MARIADBD_PID=$!
  local up=0
  for _ in $(seq 1 300); do
    if mariadb-admin --no-defaults -S "$socket" -u root ping >/dev/null 2>&1; then up=1; break; fi
    if ! kill -0 "$ZT_MARIADBD_PID" 2>/dev/null; then break; fi
    sleep 0.2
  done
  if [ "$up" != 1 ]; then
    _zt_server_said "$dir" "$ZT_MARIADBD_PID"
    return 1
  fi
  mariadb --no-defaults -S "$socket" -u root <<'SQL' || return 1
CREATE DATABASE zttest CHARACTER SET utf8mb4;
CREATE USER 'zt'@'127.0.0.1' IDENTIFIED BY 'zt-test';
CREATE USER 'zt'@'localhost' IDENTIFIED BY 'zt-test';
GRANT ALL ON *.* TO 'zt'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL ON *.* TO 'zt'@'localhost' WITH GRANT OPTION;
SQL
  # The tests read TIMESTAMPs in a session whose clock goes back: that zone
  # alone, from the system's zoneinfo (the whole set costs a second more).
  local zone
  if ! zone="$(mariadb-tzinfo-to-sql /usr/share/zoneinfo/Europe/Paris Europe/Paris)" ||
    ! printf '%s\n' "$zone" | mariadb --no-defaults -S "$socket" -u root mysql; then
    kill "$ZT_MARIADBD_PID" 2>/dev/null; wait "$ZT_MARIADBD_PID" 2>/dev/null
    return 1
  fi
  ZT_MARIADBD_PORT="$port"
  ZT_MARIADBD_SOCKET="$socket"
}

# Starts a private MariaDB server on 127.0.0.1 with a fresh data folder,
# TLS from a CA of its own and a lock wait of one second, and exports where
# it listens for the tests and the command-line host. Each run's server has
# a folder of its own under build/mariadb (ZT_SERVER_DIR), so that two
# commands in one clone keep their servers; zt_server_stop removes it, and
# a start removes the folders of runs that ended without a stop, and the
# socket folders under /tmp whose server's folder is gone (its clone
# removed, say).
zt_server_start() {
  local top="$ZT_ROOT/build/mariadb" old owner server dir
  mkdir -p "$top" || { zt_step_failed "making the servers' folder $top"; return 1; }
  for old in /tmp/zt-mariadb.*; do
    # One just made notes its server next: none yet is no orphan.
    server="$(cat "$old/server" 2>/dev/null)" || continue
    [ -n "$server" ] && [ ! -e "$server" ] && rm -rf "$old"
  done
  for old in "$top"/*; do
    owner="$(cat "$old/owner" 2>/dev/null)" || continue
    kill -0 "$owner" 2>/dev/null && continue
    # A server its run left behind (the run was killed) goes with it.
    server="$(cat "$old/mysqld.pid" 2>/dev/null)"
    # One that ended with it (killed with its process group) left only
    # its pid: nothing to read, nothing to say.
    if [ -n "$server" ] && tr '\0' ' ' 2>/dev/null <"/proc/$server/cmdline" | grep -qF -- "--datadir=$old/"; then
      kill "$server"
    fi
    zt_server_folder_remove "$old"
  done
  dir="$(mktemp -d "$top/XXXXXX")" || { zt_step_failed "making the private server's folder in $top"; return 1; }
  echo "$$" >"$dir/owner"
  ZT_SERVER_DIR="$dir"
  zt_make_certificates "$dir/tls" || { zt_step_failed "making the private server's certificates in $dir/tls"; return 1; }
  zt_mariadbd "$dir" --ssl-ca="$dir/tls/ca.pem" --ssl-cert="$dir/tls/server-cert.pem" \
    --ssl-key="$dir/tls/server-key.pem" || { zt_step_failed "starting the private server in $dir"; return 1; }
  ZT_SERVER_PID="$ZT_MARIADBD_PID"
  export ZT_TEST_HOST=127.0.0.1 ZT_TEST_PORT="$ZT_MARIADBD_PORT" ZT_TEST_SOCKET="$ZT_MARIADBD_SOCKET"
  export ZT_TEST_USER=zt ZT_TEST_PASSWORD=zt-test ZT_TEST_DATABASE=zttest ZT_TEST_SSL_CA="$dir/tls/ca.pem"
  echo "private server on 127.0.0.1:$ZT_MARIADBD_PORT"
}

# zt_plain_server_start DIR [OPTION...]: a second private server, without
# TLS, for the tests that need a server refusing it or a server of their own
# to kill; the options go to the server. Prints "<port> <pid>". The caller
# stops it (kill PID) and removes DIR with zt_server_folder_remove.
zt_plain_server_start() {
  local dir="$1"; shift
  mkdir -p "$dir"
  zt_mariadbd "$dir" --skip-ssl "$@" || return 1
  echo "$ZT_MARIADBD_PORT $ZT_MARIADBD_PID"
}

# zt_plain_server_restart DIR PORT [OPTION...]: the second server started
# again on the data it left in DIR, on the same port; prints its pid.
zt_plain_server_restart() {
  local dir="$1" port="$2" socket; shift 2
  rm -f "$dir/error.log"
  socket="$(_zt_socket_folder "$dir")/mysqld.sock" || return 1
  mariadbd --no-defaults --user=root --datadir="$dir/data" --tmpdir="$dir/tmp" --bind-address=127.0.0.1 \
    --port="$port" --socket="$socket" --pid-file="$dir/mysqld.pid" \
    --log-error="$dir/error.log" --skip-log-bin --innodb-buffer-pool-size=64M \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
    --innodb-lock-wait-timeout=1 --skip-ssl "$@" >"$dir/mariadbd.out" 2>&1 </dev/null &
  local pid=$!
  for _ in $(seq 1 300); do
    if mariadb-admin --no-defaults -S "$socket" -u root ping >/dev/null 2>&1; then
      echo "$pid"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  _zt_server_said "$dir" "$pid"
  return 1
}

zt_server_stop() {
  if [ -n "${ZT_SERVER_PID:-}" ] && kill -0 "$ZT_SERVER_PID" 2>/dev/null; then
    kill "$ZT_SERVER_PID"
    wait "$ZT_SERVER_PID" 2>/dev/null || true
    echo "private server stopped"
  fi
  ZT_SERVER_PID=""
  if [ -n "${ZT_SERVER_DIR:-}" ]; then
    zt_server_folder_remove "$ZT_SERVER_DIR"
    ZT_SERVER_DIR=""
  fi
}

# Seconds each fuzz target runs in the test command.
ZT_FUZZ_SECONDS="${ZT_FUZZ_SECONDS:-15}"
# Fuzz targets built but not run until the fault they find is mended, each
# named with its fault in a comment here (none today).
ZT_FUZZ_PENDING=""

# Builds the fuzz targets with clang and runs each for ZT_FUZZ_SECONDS from
# its work folder, build/fuzz/work/<target> (the inputs earlier runs saved
# there are kept), and its starting corpus; new inputs go to the work
# folder, findings to build/fuzz/findings. Prints each target's executions.
# Fails on a finding.
zt_fuzz() {
  local dir="$ZT_ROOT/build/fuzz"
  zt_build "$dir" fuzz_all -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZT_FUZZ=ON -DZT_TESTS=OFF \
    || { zt_step_failed "building the fuzz targets in $dir"; return 1; }
  local verdict=0 bin name stem work log
  mkdir -p "$dir/findings"
  for bin in "$dir"/fuzz/fuzz_*; do
    name="$(basename "$bin")"
    stem="${name#fuzz_}"
    if [[ " $ZT_FUZZ_PENDING " == *" $name "* ]]; then
      echo "$name: not run (its finding is open)"
      continue
    fi
    work="$dir/work/$stem"
    log="$dir/$stem.log"
    mkdir -p "$work"
    if "$bin" -max_total_time="$ZT_FUZZ_SECONDS" -print_final_stats=1 \
         -artifact_prefix="$dir/findings/$stem-" "$work" "$ZT_ROOT/tests/fuzz/corpus/$stem" >"$log" 2>&1; then
      echo "$name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") executions"
    else
      verdict=1
      echo "$name: FINDING (input kept in $dir/findings)"
      tail -n 40 "$log"
    fi
  done
  return $verdict
}
