# The web server's part of the lab, sourced by lab/orvane-lab (start_web_server), which
# provides ROOT, RUN, LAB, start_bg, pid_of, log and die. Makes a certificate authority for
# this lab run, seeds the demo talkers' users, serves on the clients' build port and sets
# WEB_CA, which the clients receive as ORVANE_WEB_CA_FILE. The lab reads the database at
# $web_dir/orvane-web.db to give its clients their accounts.
web_dir="$LAB/web"
mkdir -p "$web_dir/pictures"
web_port="$(sed -n 's/^ORVANE_WEB_PORT:STRING=//p' "$RUN/../CMakeCache.txt" 2>/dev/null || true)"
web_port="${web_port:-44300}"
bash "$ROOT/servers/web/make-test-ca.sh" "$web_dir/ca" "Orvane Lab CA" || die "cannot make the lab's certificate authority"
"$RUN/orvane-web-server" seed-demo --db "$web_dir/orvane-web.db" || die "cannot seed the web server's database"
# Every request in its log with the client's port (one per connection): what the clients asked.
start_bg web-server "$RUN/orvane-web-server" --port "$web_port" --cert "$web_dir/ca/server.pem" \
  --key "$web_dir/ca/server.key" --db "$web_dir/orvane-web.db" --pictures-dir "$web_dir/pictures" \
  --log-requests yes
for _ in $(seq 100); do
  grep -q "listening on port" "$LAB/logs/web-server.log" 2>/dev/null && break
  kill -0 "$(pid_of web-server)" 2>/dev/null || die "the web server stopped: $(cat "$LAB/logs/web-server.log")"
  sleep 0.1
done
WEB_CA="$web_dir/ca/ca.pem"
log "web server: https://localhost:$web_port, database $web_dir/orvane-web.db (orvane-web-server --help for operator commands)"
