# Sourced by the scripts that scan against a private influxd and the KTX simulator. The caller
# sets $bin (the build's bin folder) and $work (a temporary folder); stop_peers stops what was
# started. Everything listens on free loopback ports only.

pids=()
stop_peers() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}

free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

wait_for() {  # wait_for SECONDS COMMAND...: until COMMAND succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "gave up waiting for: $*" >&2; return 1; }
    sleep 0.2
  done
}

# Starts influxd with its data in $work and creates the database "orva"; sets $influx_port and
# $influx (its URL).
start_influxd() {
  influx_port=$(free_port)
  cat >"$work/influxd.conf" <<CONF
reporting-disabled = true
bind-address = "127.0.0.1:$(free_port)"
[meta]
  dir = "$work/influxdb/meta"
[data]
  dir = "$work/influxdb/data"
  wal-dir = "$work/influxdb/wal"
  query-log-enabled = false
[http]
  bind-address = "127.0.0.1:$influx_port"
  log-enabled = false
[monitor]
  store-enabled = false
CONF
  restart_influxd
  curl -sf -XPOST "$influx/query" --data-urlencode "q=CREATE DATABASE orva" >/dev/null
}

# Starts influxd again on its port and data, after stop_influxd; sets $influx_pid.
restart_influxd() {
  influxd -config "$work/influxd.conf" >>"$work/influxd.log" 2>&1 &
  influx_pid=$!
  pids+=($influx_pid)
  influx="http://127.0.0.1:$influx_port"
  wait_for 30 curl -sf "$influx/ping"
}

# Kills influxd, as a server that goes away.
stop_influxd() {
  kill -9 "$influx_pid" 2>/dev/null || true
  wait "$influx_pid" 2>/dev/null || true
  influx_pid=
}

# Starts ktx-sim with its demo model, on port $1 when given; sets $controller (host:port) and
# $sim_pid.
start_ktx_sim() {
  "$bin/ktx-sim" --port "${1:-0}" >"$work/ktx-sim.out" 2>"$work/ktx-sim.log" &
  sim_pid=$!
  pids+=($sim_pid)
  wait_for 10 grep -q '^listening tcp' "$work/ktx-sim.out"
  controller=$(sed -n 's/^listening tcp //p' "$work/ktx-sim.out")
}

# Stops ktx-sim, which drops the program's connection as a controller switched off would.
stop_ktx_sim() {
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null || true
}

# write_module_config FILE SCAN_TIME: three modules read in one block each, so that every module
# read answered is one point.
write_module_config() {
  cat >"$1" <<JSON
{"InfluxDB":{"Host":"127.0.0.1","Port":$influx_port,"DBName":"orva","ScanTime":$2,"Config":[
 {"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},
 {"ScanType":"Module","ModuleType":"0001","ModuleSerial":"0A1234"},
 {"ScanType":"Module","ModuleType":"MD-1 motion detector indoor","ModuleSerial":"C40101"}]}}
JSON
}

# write_demo_config FILE SCAN_TIME [COMM_LOG_DAYS]: one row of every kind the demo installation
# holds (the four whole-module kinds, two values in a module's memory, four outputs), posted to
# $influx_port; the communication log keeps COMM_LOG_DAYS (default: the program's, 14).
write_demo_config() {
  local retention=""
  [ -z "${3:-}" ] || retention="\"CommLogDays\":$3,"
  cat >"$1" <<JSON
{"InfluxDB":{"Host":"127.0.0.1","Port":$influx_port,"DBName":"orva","ScanTime":$2,$retention"Config":[
 {"ScanType":"Module","ModuleType":"0016","ModuleSerial":"160012"},
 {"ScanType":"Module","ModuleType":"0001","ModuleSerial":"0A1234"},
 {"ScanType":"Module","ModuleType":"0017","ModuleSerial":"175310"},
 {"ScanType":"Module","ModuleType":"MD-1 motion detector indoor","ModuleSerial":"C40101"},
 {"ScanType":"Module_memory","ModuleType":"0005","ModuleSerial":"B1C2D3","SRAM":100,"Type":"Byte"},
 {"ScanType":"Module_memory","ModuleType":"0005","ModuleSerial":"B1C2D3","SRAM":104,"Type":"24-bit"},
 {"ScanType":"Output_status","OutputId":1},
 {"ScanType":"Output_status","OutputId":2},
 {"ScanType":"Output_status","OutputId":3},
 {"ScanType":"Output_status","OutputId":4}]}}
JSON
}
