# Shared steps of the README's commands: install, build, private server.
# Sourced by scripts/test.sh and scripts/run.sh; every step runs as root on
# Debian 12.

ZT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# One compiler cache for every clone: paths below the clone's top are hashed
# relative to it. The test programs include a precompiled header, which the
# cache takes only with these sloppinesses.
export CCACHE_BASEDIR="$ZT_ROOT" CCACHE_NOHASHDIR=true CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-10G}"
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
# util-linux gives flock, which keeps builds in one folder apart.
ZT_PACKAGES="cmake make g++ g++-multilib locales libgtest-dev:i386 libgmock-dev:i386 libbenchmark-dev:i386
  libmariadb3:i386 libmariadb-dev-compat:i386 mariadb-server mariadb-client clang libclang-rt-14-dev openssl ccache
  util-linux"

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

# zt_several_statements TEXT: true when the server could run TEXT as
# several statements, read as zthost reads it (tools/zthost/StatementText.cpp
# says how; each step below mirrors one there), so that the run command
# refuses such a text before it builds anything.
zt_several_statements() {
  local LC_ALL=C s="$1" reading versioned=0 _zt_tokens=()
  [[ "$s" == *'/*!'* || "$s" == *'/*M!'* ]] && versioned=1
  for reading in 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15; do
    # Only the readings that can differ from those before.
    if { (( reading & 1 )) && [[ "$s" != *\\* ]]; } ||
       { (( reading & 2 )) && { (( reading & 1 )) || [[ "$s" != *\"* ]]; }; } ||
       { (( reading & 4 )) && [ "$versioned" = 0 ]; } ||
       { (( reading & 8 )) && [[ "$s" != *'['* ]]; }; then
      continue
    fi
    _zt_statement_tokens "$s" "$reading"
    # Only a ';' followed by more makes several statements, or a text whose
    # compound statements do not read through.
    _zt_semicolon_followed || continue
    _zt_statement_verdict || return 0
  done
  return 1
}

# _zt_statement_tokens TEXT READING: the text's tokens into _zt_tokens, in
# the reading given (1: no backslash escapes, 2: '"' quotes names, 4: a
# versioned code comment is a comment, 8: [ ] quote names). Each step takes
# a token or a comment from a window on the text, which grows while what
# it takes reaches its end: a long text is read in time.
_zt_statement_tokens() {
  local text="$1" reading="$2" n=${#1} at=0 size=256 rest code=0 last="" chunk inner digits kind token
  local word=$'^[A-Za-z0-9_$\x80-\xff]+' blanks='^[[:space:]]+' code_marks='^/\*M?!([0-9]{0,6})'
  # Quoted texts and names: a doubled closing quote stands for itself; a
  # backslash takes the next character in texts, not in names.
  local single=$'^\'(\\\\(.|$)|\'\'|[^\'\\\\])*\'?' single_plain=$'^\'(\'\'|[^\'])*\'?'
  local double=$'^"(\\\\(.|$)|""|[^"\\\\])*"?' double_plain=$'^"(""|[^"])*"?'
  local name=$'^`(``|[^`])*`?' bracket='^\[(]]|[^]])*]?'
  _zt_tokens=()
  while [ "$at" -lt "$n" ]; do
    rest="${text:at:size}"
    kind=other
    if [[ "$rest" =~ $blanks ]]; then
      chunk="${BASH_REMATCH[0]}"
      kind=blank
    elif [[ "$rest" == "#"* || "$rest" == --* && ( ${#rest} -le 2 || "${rest:2:1}" == [[:space:][:cntrl:]] ) ]]; then
      if [[ "$rest" == *$'\n'* ]]; then chunk="${rest%%$'\n'*}"$'\n'; else chunk="$rest"; fi
      kind=blank
    elif [[ "$rest" =~ $code_marks ]]; then
      # Its marks and its version (five or six digits) are blanks, its
      # text is code; one whose version is above the server's is a comment.
      chunk="${BASH_REMATCH[0]}"
      digits=${#BASH_REMATCH[1]}
      if [ "$digits" -ge 5 ] && (( reading & 4 )); then
        inner="${rest:2}"
        if [[ "$inner" == *'*/'* ]]; then chunk="/*${inner%%\*/*}*/"; else chunk="$rest"; fi
        kind=blank
      else
        [ "$digits" -lt 5 ] && chunk="${chunk:0:${#chunk}-digits}"
        kind=code
      fi
    elif [ "$code" = 1 ] && [[ "$rest" == '*/'* ]]; then
      chunk='*/'
      kind=code_end
    elif [[ "$rest" == '/*'* ]]; then
      inner="${rest:2}"
      if [[ "$inner" == *'*/'* ]]; then chunk="/*${inner%%\*/*}*/"; else chunk="$rest"; fi
      kind=blank
    elif [[ "$rest" == "'"* ]]; then
      if (( reading & 1 )); then [[ "$rest" =~ $single_plain ]]; else [[ "$rest" =~ $single ]]; fi
      chunk="${BASH_REMATCH[0]}"
      kind=quoted
    elif [[ "$rest" == '"'* ]]; then
      # A text, or a name in ANSI_QUOTES.
      if (( reading & 3 )); then [[ "$rest" =~ $double_plain ]]; else [[ "$rest" =~ $double ]]; fi
      chunk="${BASH_REMATCH[0]}"
      kind=quoted
    elif [[ "$rest" == '`'* ]]; then
      [[ "$rest" =~ $name ]]
      chunk="${BASH_REMATCH[0]}"
      kind=quoted
    elif [[ "$rest" == '['* ]] && (( reading & 8 )); then
      [[ "$rest" =~ $bracket ]]
      chunk="${BASH_REMATCH[0]}"
      kind=quoted
    elif [[ "$rest" =~ $word ]]; then
      chunk="${BASH_REMATCH[0]}"
      kind=word
    else
      chunk="${rest:0:1}"
    fi
    if [ ${#chunk} = ${#rest} ] && [ $((at + ${#rest})) -lt "$n" ]; then
      # What it took may go on past the window.
      size=$((size * 2))
      continue
    fi
    case "$kind" in
      code) code=1 ;;
      code_end) code=0 ;;
      quoted) _zt_tokens+=("'") ;;
      word)
        token="${chunk^^}"
        [[ "$last" == [.@] ]] && token="'"
        _zt_tokens+=("$token") ;;
      other)
        if [ "$chunk" = . ] && [ ${#_zt_tokens[@]} -gt 0 ] && [[ "${_zt_tokens[-1]}" =~ $word ]]; then
          _zt_tokens[-1]="'"
        fi
        _zt_tokens+=("$chunk") ;;
    esac
    at=$((at + ${#chunk}))
    last="${chunk: -1}"
    size=256
  done
}

# A word or "'", which can stand for a name.
_zt_word_or_name() {
  [[ "$1" == "'" || "$1" == [A-Za-z0-9_\$]* || "$1" == [$'\x80'-$'\xff']* ]]
}

# _zt_operand_end TOKEN: whether a header's expression ends before the token:
# after an operand, DO and END are keywords; after an operator, names.
_zt_operand_end() {
  case "$1" in
    "'"|")") return 0 ;;
    AND|OR|XOR|NOT|IS|LIKE|REGEXP|RLIKE|IN|BETWEEN|DIV|MOD|SOUNDS|ESCAPE|BINARY|INTERVAL|EXISTS|ANY|SOME|ALL|\
COLLATE|REVERSE|CASE|WHEN|THEN|ELSE|IF|ELSEIF|WHILE|FOR|UNTIL) return 1 ;;
  esac
  _zt_word_or_name "$1"
}

# Whether a ';' of _zt_tokens is followed by more than ';'.
_zt_semicolon_followed() {
  local token semicolon=0
  for token in "${_zt_tokens[@]}"; do
    [ "$token" != ";" ] && [ "$semicolon" = 1 ] && return 0
    [ "$token" = ";" ] && semicolon=1
  done
  return 1
}

# Reads the statements of _zt_tokens: 0 when one, 1 when several, 2 when
# its compound statements do not read through. The modes: start (where a
# statement starts), body (where a routine's, a trigger's, an event's or a
# handler's statement starts: BEGIN opens a block there), plain (in a
# statement that ends at ';'), header (in a compound statement's
# expression, up to $until).
_zt_statement_verdict() {
  local k=0 count=${#_zt_tokens[@]} mode=start ended=0 open=() until="" previous="" depth=0 cases=() t next top
  while [ "$k" -lt "$count" ]; do
    t="${_zt_tokens[k]}"
    if [ "$ended" = 1 ]; then
      [ "$t" != ";" ] && return 1
      k=$((k + 1))
    elif [ "$mode" = plain ]; then
      while [[ $k -lt $count && "${_zt_tokens[k]}" != ";" ]]; do k=$((k + 1)); done
      if [ "$k" -lt "$count" ]; then
        if [ ${#open[@]} = 0 ]; then ended=1; else mode=start; fi
      fi
      k=$((k + 1))
    elif [ "$mode" = header ]; then
      _zt_header_token || return 2
    else
      _zt_start_token || return 2
    fi
  done
  if [ "$ended" = 1 ] || { [ "$mode" = plain ] && [ ${#open[@]} = 0 ]; }; then return 0; fi
  return 2
}

# _zt_open KIND UNTIL: the compound statement a keyword opens, its header
# read up to UNTIL.
_zt_open() {
  open+=("$1")
  k=$((k + 1))
  _zt_header "$2"
}
_zt_header() {
  if [ -z "$1" ]; then mode=start; else mode=header; fi
  until="$1"
  previous="${_zt_tokens[k - 1]}"
  depth=0
  cases=()
}

# The token $t where a statement starts; false where none can.
_zt_start_token() {
  local body
  next="${_zt_tokens[k + 1]:-}"
  top=""
  [ ${#open[@]} = 0 ] || top="${open[-1]}"
  [ "$t" = ";" ] && return 1
  if _zt_word_or_name "$t" && [ "$next" = ":" ]; then
    k=$((k + 2))
  elif [ "$t" = END ]; then
    local kind=BEGIN
    case "$next" in
      IF|CASE|WHILE|LOOP|REPEAT|FOR) kind="$next"; k=$((k + 1)) ;;
    esac
    [ "$top" != "$kind" ] && return 1
    unset 'open[-1]'
    k=$((k + 1))
    mode=plain
  elif [ "$t" = BEGIN ]; then
    # At the top, BEGIN NOT ATOMIC opens a block, BEGIN [WORK] starts a
    # transaction.
    if [ ${#open[@]} = 0 ] && [ "$mode" = start ] && ! [ "$next ${_zt_tokens[k + 2]:-}" = "NOT ATOMIC" ]; then
      mode=plain
      k=$((k + 1))
    else
      _zt_open "$t" ""
      if [ "${_zt_tokens[k]:-} ${_zt_tokens[k + 1]:-}" = "NOT ATOMIC" ]; then k=$((k + 2)); fi
    fi
  elif [ "$t" = IF ]; then
    _zt_open "$t" THEN
  elif [ "$t" = CASE ]; then
    _zt_open "$t" WHEN
  elif [ "$t" = WHILE ] || [ "$t" = FOR ]; then
    _zt_open "$t" DO
  elif [ "$t" = LOOP ] || [ "$t" = REPEAT ]; then
    _zt_open "$t" ""
  elif [ "$t" = ELSEIF ] || [ "$t" = ELSE ] || [ "$t" = WHEN ] || [ "$t" = UNTIL ]; then
    case "$t:$top" in
      ELSEIF:IF|ELSE:IF|ELSE:CASE|WHEN:CASE|UNTIL:REPEAT) ;;
      *) return 1 ;;
    esac
    k=$((k + 1))
    case "$t" in
      ELSE) _zt_header "" ;;
      UNTIL) _zt_header END ;;
      *) _zt_header THEN ;;
    esac
  elif [ "$t" = DECLARE ] && [ ${#open[@]} != 0 ] && [ "${_zt_tokens[k + 2]:-}" = HANDLER ] &&
       [ "${_zt_tokens[k + 3]:-}" = FOR ]; then
    # Its conditions, then its statement.
    k=$((k + 4))
    while :; do
      if [ "${_zt_tokens[k]:-}" = SQLSTATE ]; then
        if [ "${_zt_tokens[k + 1]:-}" = VALUE ]; then k=$((k + 3)); else k=$((k + 2)); fi
      elif [ "${_zt_tokens[k]:-}" = NOT ]; then
        k=$((k + 2))
      else
        k=$((k + 1))
      fi
      [ "${_zt_tokens[k]:-}" != "," ] && break
      k=$((k + 1))
    done
    mode=body
  elif { [ "$t" = CREATE ] || [ "$t" = ALTER ]; } && [ ${#open[@]} = 0 ] && [ "$mode" = start ]; then
    _zt_body_start
    if [ "$body" = 0 ]; then mode=plain; k=$((k + 1)); else mode=body; k=$body; fi
  else
    mode=plain
    k=$((k + 1))
  fi
  return 0
}

# The token $t of a header's expression; false where no expression goes on.
_zt_header_token() {
  [ "$t" = ";" ] && return 1
  if [ "$t" = "(" ]; then
    depth=$((depth + 1))
  elif [ "$t" = ")" ]; then
    [ "$depth" -gt 0 ] && depth=$((depth - 1))
  elif [ "$depth" -gt 0 ]; then
    :
  elif [ "$until" = DO ]; then
    if [ "$t" = DO ] && _zt_operand_end "$previous"; then
      mode=start
    fi
  elif [ "$until" = END ]; then
    if [ "$t" = END ] && [ "${_zt_tokens[k + 1]:-}" = REPEAT ]; then
      unset 'open[-1]'
      k=$((k + 1))
      mode=plain
    fi
  elif [ "$t" = CASE ]; then
    # A CASE expression: each WHEN awaits its THEN, END closes it.
    cases+=(0)
  elif [ "$t" = WHEN ] && [ ${#cases[@]} != 0 ]; then
    cases[-1]=1
  elif [ "$t" = THEN ] && [ ${#cases[@]} != 0 ] && [ "${cases[-1]}" = 1 ]; then
    cases[-1]=0
  elif [ "$t" = END ] && [ ${#cases[@]} != 0 ] && _zt_operand_end "$previous"; then
    unset 'cases[-1]'
  elif [ "$t" = "$until" ] && { [ "$t" = THEN ] || [ ${#cases[@]} = 0 ]; }; then
    # A CASE statement's value ends at WHEN, whose condition ends at THEN.
    k=$((k + 1))
    if [ "$t" = WHEN ]; then _zt_header THEN; else _zt_header ""; fi
    return 0
  fi
  previous="$t"
  k=$((k + 1))
  return 0
}

# Where the statement of the CREATE or ALTER at $k starts (a routine's, a
# trigger's or an event's) into body; 0 for any other.
_zt_body_start() {
  local n=$((k + 1)) kind d=0 s
  body=0
  [ "${_zt_tokens[n]:-} ${_zt_tokens[n + 1]:-}" = "OR REPLACE" ] && n=$((n + 2))
  if [ "${_zt_tokens[n]:-}" = DEFINER ]; then
    if [ "${_zt_tokens[n + 1]:-}" = "=" ]; then n=$((n + 3)); else n=$((n + 2)); fi
    [ "${_zt_tokens[n]:-} ${_zt_tokens[n + 1]:-}" = "( )" ] && n=$((n + 2))
    [ "${_zt_tokens[n]:-}" = "@" ] && n=$((n + 2))
  fi
  [ "${_zt_tokens[n]:-}" = AGGREGATE ] && n=$((n + 1))
  kind="${_zt_tokens[n]:-}"
  n=$((n + 1))
  if [ "$kind" = EVENT ]; then
    while [ "$n" -lt "$count" ] && [ "${_zt_tokens[n]}" != ";" ]; do
      s="${_zt_tokens[n]}"
      if [ "$s" = "(" ]; then d=$((d + 1));
      elif [ "$s" = ")" ]; then d=$((d - 1));
      elif [ "$d" = 0 ] && [ "$s" = DO ] && _zt_operand_end "${_zt_tokens[n - 1]}"; then body=$((n + 1)); return; fi
      n=$((n + 1))
    done
    return
  fi
  [ "$t" = CREATE ] || return
  if [ "$kind" = TRIGGER ]; then
    while [ "$n" -lt "$count" ] && [ "${_zt_tokens[n]}" != ";" ]; do
      if [ "${_zt_tokens[n]} ${_zt_tokens[n + 1]:-}" = "FOR EACH" ]; then
        n=$((n + 3))
        if [ "${_zt_tokens[n]:-}" = FOLLOWS ] || [ "${_zt_tokens[n]:-}" = PRECEDES ]; then
          n=$((n + 2))
          while [ "${_zt_tokens[n]:-}" = . ]; do n=$((n + 2)); done
        fi
        body=$n
        return
      fi
      n=$((n + 1))
    done
    return
  fi
  [ "$kind" = PROCEDURE ] || [ "$kind" = FUNCTION ] || return
  # IF NOT EXISTS and the name, then the parameters.
  while _zt_word_or_name "${_zt_tokens[n]:-}" || [ "${_zt_tokens[n]:-}" = . ]; do n=$((n + 1)); done
  [ "${_zt_tokens[n]:-}" = "(" ] || return
  while :; do
    s="${_zt_tokens[n]:-}"
    if [ "$s" = "(" ]; then d=$((d + 1)); elif [ "$s" = ")" ]; then d=$((d - 1)); fi
    n=$((n + 1))
    [ "$d" -gt 0 ] && [ "$n" -lt "$count" ] || break
  done
  if [ "$kind" = FUNCTION ]; then
    # The type and the characteristics hold no statement: the body is the
    # first RETURN, compound statement or label.
    while [ "$n" -lt "$count" ] && [ "${_zt_tokens[n]}" != ";" ]; do
      s="${_zt_tokens[n]}"
      case "$s" in
        RETURN|BEGIN|IF|CASE|LOOP|WHILE|REPEAT|FOR) body=$n; return ;;
      esac
      if _zt_word_or_name "$s" && [ "${_zt_tokens[n + 1]:-}" = ":" ]; then body=$n; return; fi
      n=$((n + 1))
    done
    return
  fi
  # A procedure's characteristics.
  while :; do
    case "${_zt_tokens[n]:-}" in
      DETERMINISTIC) n=$((n + 1)) ;;
      COMMENT|LANGUAGE|NOT|CONTAINS|NO) n=$((n + 2)) ;;
      READS|MODIFIES|SQL) n=$((n + 3)) ;;
      *) break ;;
    esac
  done
  body=$n
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
# 127.0.0.1 and localhost (ca.pem, server-cert.pem, server-key.pem).
zt_make_certificates() {
  local dir="$1"
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=zt test CA" \
    -keyout "$dir/ca-key.pem" -out "$dir/ca.pem" >"$dir/openssl.log" 2>&1 || { cat "$dir/openssl.log"; return 1; }
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
    -keyout "$dir/server-key.pem" -out "$dir/server.csr" >>"$dir/openssl.log" 2>&1 || { cat "$dir/openssl.log"; return 1; }
  printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$dir/server.ext"
  openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca-key.pem" -CAcreateserial \
    -days 2 -extfile "$dir/server.ext" -out "$dir/server-cert.pem" >>"$dir/openssl.log" 2>&1 \
    || { cat "$dir/openssl.log"; return 1; }
}

# zt_mariadbd DIR [mariadbd options...]: a MariaDB server on 127.0.0.1 at
# a free port with a fresh data folder in DIR/data, the test database and
# the test user; sets ZT_MARIADBD_PID and ZT_MARIADBD_PORT.
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

_zt_mariadbd_once() {
  local dir="$1"; shift
  # Each server keeps its temporary tables in a folder of its own: a server
  # that starts deletes every temporary table it finds in its folder, those
  # of the servers running beside it too.
  rm -rf "$dir/data" "$dir/tmp"; mkdir -p "$dir/data" "$dir/tmp"
  TMPDIR="$dir/tmp" mariadb-install-db --no-defaults --datadir="$dir/data" --user=root \
    --auth-root-authentication-method=socket --skip-test-db >"$dir/install.log" 2>&1 \
    || { cat "$dir/install.log" >&2; return 1; }
  local port; port="$(zt_free_port)"
  mariadbd --no-defaults --user=root --datadir="$dir/data" --tmpdir="$dir/tmp" --bind-address=127.0.0.1 \
    --port="$port" --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" \
    --log-error="$dir/error.log" --skip-log-bin --innodb-buffer-pool-size=64M \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
    --innodb-lock-wait-timeout=1 "$@" >"$dir/mariadbd.out" 2>&1 </dev/null &
  ZT_MARIADBD_PID=$!
  local up=0
  for _ in $(seq 1 300); do
    if mariadb-admin --no-defaults -S "$dir/mysqld.sock" -u root ping >/dev/null 2>&1; then up=1; break; fi
    if ! kill -0 "$ZT_MARIADBD_PID" 2>/dev/null; then break; fi
    sleep 0.2
  done
  if [ "$up" != 1 ]; then
    cat "$dir/error.log" >&2
    kill "$ZT_MARIADBD_PID" 2>/dev/null; wait "$ZT_MARIADBD_PID" 2>/dev/null
    return 1
  fi
  mariadb --no-defaults -S "$dir/mysqld.sock" -u root <<'SQL' || return 1
CREATE DATABASE zttest CHARACTER SET utf8mb4;
CREATE USER 'zt'@'127.0.0.1' IDENTIFIED BY 'zt-test';
CREATE USER 'zt'@'localhost' IDENTIFIED BY 'zt-test';
GRANT ALL ON *.* TO 'zt'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL ON *.* TO 'zt'@'localhost' WITH GRANT OPTION;
SQL
  ZT_MARIADBD_PORT="$port"
}

# Starts a private MariaDB server on 127.0.0.1 with a fresh data folder,
# TLS from a CA of its own and a lock wait of one second, and exports where
# it listens for the tests and the command-line host. Each run's server has
# a folder of its own under build/mariadb (ZT_SERVER_DIR), so that two
# commands in one clone keep their servers; zt_server_stop removes it, and
# a start removes the folders of runs that ended without a stop.
zt_server_start() {
  local top="$ZT_ROOT/build/mariadb" old owner server dir
  mkdir -p "$top" || return 1
  for old in "$top"/*; do
    owner="$(cat "$old/owner" 2>/dev/null)" || continue
    kill -0 "$owner" 2>/dev/null && continue
    # A server its run left behind (the run was killed) goes with it.
    server="$(cat "$old/mysqld.pid" 2>/dev/null)"
    if [ -n "$server" ] && tr '\0' ' ' <"/proc/$server/cmdline" 2>/dev/null | grep -qF -- "--datadir=$old/"; then
      kill "$server"
    fi
    rm -rf "$old"
  done
  dir="$(mktemp -d "$top/XXXXXX")" || return 1
  echo "$$" >"$dir/owner"
  ZT_SERVER_DIR="$dir"
  zt_make_certificates "$dir/tls" || return 1
  zt_mariadbd "$dir" --ssl-ca="$dir/tls/ca.pem" --ssl-cert="$dir/tls/server-cert.pem" \
    --ssl-key="$dir/tls/server-key.pem" || return 1
  ZT_SERVER_PID="$ZT_MARIADBD_PID"
  export ZT_TEST_HOST=127.0.0.1 ZT_TEST_PORT="$ZT_MARIADBD_PORT" ZT_TEST_SOCKET="$dir/mysqld.sock"
  export ZT_TEST_USER=zt ZT_TEST_PASSWORD=zt-test ZT_TEST_DATABASE=zttest ZT_TEST_SSL_CA="$dir/tls/ca.pem"
  echo "private server on 127.0.0.1:$ZT_MARIADBD_PORT"
}

# zt_plain_server_start DIR [OPTION...]: a second private server, without
# TLS, for the tests that need a server refusing it or a server of their own
# to kill; the options go to the server. Prints "<port> <pid>". The caller
# stops it (kill PID) and removes DIR.
zt_plain_server_start() {
  local dir="$1"; shift
  mkdir -p "$dir"
  zt_mariadbd "$dir" --skip-ssl "$@" || return 1
  echo "$ZT_MARIADBD_PORT $ZT_MARIADBD_PID"
}

# zt_plain_server_restart DIR PORT [OPTION...]: the second server started
# again on the data it left in DIR, on the same port; prints its pid.
zt_plain_server_restart() {
  local dir="$1" port="$2"; shift 2
  mariadbd --no-defaults --user=root --datadir="$dir/data" --tmpdir="$dir/tmp" --bind-address=127.0.0.1 \
    --port="$port" --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" \
    --log-error="$dir/error.log" --skip-log-bin --innodb-buffer-pool-size=64M \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
    --innodb-lock-wait-timeout=1 --skip-ssl "$@" >"$dir/mariadbd.out" 2>&1 </dev/null &
  local pid=$!
  for _ in $(seq 1 300); do
    if mariadb-admin --no-defaults -S "$dir/mysqld.sock" -u root ping >/dev/null 2>&1; then
      echo "$pid"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  cat "$dir/error.log" >&2
  kill "$pid" 2>/dev/null
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
    rm -rf "$ZT_SERVER_DIR"
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
    || return 1
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
