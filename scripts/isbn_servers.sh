# Sourced by the desktop scripts that look books up: the local Z39.50 test
# server serving "$work/records.mrc" and an HTTP server answering as Open
# Library from "$work/ol.json" (an object keyed "ISBN:…"). Sets zpid and olpid,
# writes the sources setting to "$work/sources" and stops both on exit.
isbn_servers_start() {  # path/to/isbn_test_server
  local zport
  zport=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  "$1" "$zport" "$work/records.mrc" >"$work/z3950.log" 2>&1 &
  zpid=$!
  python3 - "$work/ol.port" "$work/ol.json" >"$work/ol.log" 2>&1 <<'PY' &
import http.server, json, sys, urllib.parse
answers = json.load(open(sys.argv[2]))
class H(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        keys = urllib.parse.parse_qs(urllib.parse.urlparse(self.path).query).get('bibkeys', [''])[0].split(',')
        data = json.dumps({k: answers[k] for k in keys if k in answers}).encode()
        self.send_response(200); self.send_header('Content-Type', 'application/json')
        self.send_header('Content-Length', str(len(data))); self.end_headers(); self.wfile.write(data)
    def log_message(self, *a): pass
s = http.server.HTTPServer(('127.0.0.1', 0), H)
open(sys.argv[1], 'w').write(str(s.server_port))
s.serve_forever()
PY
  olpid=$!
  trap 'kill $zpid $olpid 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 1 50); do [ -s "$work/ol.port" ] && break; sleep 0.1; done
  echo "z3950=127.0.0.1:$zport/Test;openlibrary=http://127.0.0.1:$(cat "$work/ol.port")" >"$work/sources"
}
