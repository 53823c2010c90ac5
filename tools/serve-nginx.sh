#!/usr/bin/env bash
# Serves a folder over plain HTTP on a loopback port with nginx, configured as
# a customer hosts the assistant's documents (see docs/hosting.md): static
# files, answered alike to GET and POST, with an access log that records the
# method, the path, the status and the request's Content-Type header.
#
#   tools/serve-nginx.sh start DOCROOT PORT RUNDIR   # returns once listening
#   tools/serve-nginx.sh stop RUNDIR
#
# QMX_NGINX_RATE (for example "2m") limits each answer's rate, so that a
# download takes long enough to watch its progress; with QMX_NGINX_RATE_AFTER
# (bytes) only past that point of each answer.
# QMX_NGINX_TLS_CERT and QMX_NGINX_TLS_KEY (PEM files) make PORT answer HTTPS
# (TLS 1.2 and 1.3) instead, as a maker's server for a TLS build does. With
# QMX_NGINX_PLAIN_PORT as well, that port answers plain HTTP with a redirect
# of every request to the same path on https://localhost:PORT (as CDNs do),
# and on PORT "/to-plain/PATH" redirects back down to http://localhost:PLAIN/PATH.
# RUNDIR receives nginx.conf, access.log ("METHOD URI PROTOCOL STATUS "CONTENT-TYPE"
# BYTES" a line), error.log and the pid file.
set -euo pipefail
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

case "${1:-}" in
start)
  root=$(cd "$2" && pwd); port=$3; run=$4
  rate=""; [ -n "${QMX_NGINX_RATE:-}" ] && rate="limit_rate ${QMX_NGINX_RATE};"
  [ -n "$rate" ] && [ -n "${QMX_NGINX_RATE_AFTER:-}" ] && rate="$rate limit_rate_after ${QMX_NGINX_RATE_AFTER};"
  # Started as root, nginx hands its workers to "nobody", who cannot read a
  # checkout inside a private folder (mktemp -d is 0700); keep them as the
  # user who owns the files.
  user=""; [ "$(id -u)" -eq 0 ] && user="user root;"
  listen="listen 127.0.0.1:$port;"; tls=""; plain=""
  if [ -n "${QMX_NGINX_TLS_CERT:-}" ]; then
    listen="listen 127.0.0.1:$port ssl;"
    tls="ssl_certificate ${QMX_NGINX_TLS_CERT}; ssl_certificate_key ${QMX_NGINX_TLS_KEY};
    ssl_protocols TLSv1.2 TLSv1.3;"
    if [ -n "${QMX_NGINX_PLAIN_PORT:-}" ]; then
      tls="$tls
    location /to-plain/ { rewrite ^/to-plain(/.*)\$ http://localhost:${QMX_NGINX_PLAIN_PORT}\$1 redirect; }"
      plain="server { listen 127.0.0.1:${QMX_NGINX_PLAIN_PORT};
    return 301 https://localhost:$port\$request_uri; }"
    fi
  fi
  mkdir -p "$run"; run=$(cd "$run" && pwd)
  cat >"$run/nginx.conf" <<CONF
worker_processes 1;
$user
daemon on;
pid $run/nginx.pid;
error_log $run/error.log warn;
events { worker_connections 64; }
http {
  types { text/xml xml; application/octet-stream exe bin; }
  default_type application/octet-stream;
  client_body_temp_path $run/body;
  proxy_temp_path $run/proxy;
  fastcgi_temp_path $run/fastcgi;
  uwsgi_temp_path $run/uwsgi;
  scgi_temp_path $run/scgi;
  log_format qmx '\$request \$status "\$http_content_type" \$body_bytes_sent';
  access_log $run/access.log qmx;
  $plain
  server {
    $listen
    root $root;
    $tls
    location / {
      # The assistant asks for its documents with POST; a static file is the
      # same answer to POST as to GET.
      error_page 405 =200 \$uri;
      $rate
    }
  }
}
CONF
  : >"$run/access.log"
  "$nginx_bin" -c "$run/nginx.conf" -p "$run" -e "$run/error.log" 2>>"$run/error.log" || true
  for _ in $(seq 1 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then exit 0; fi
    sleep 0.05
  done
  echo "serve-nginx: nginx did not start on port $port (see $run/error.log)" >&2
  exit 1
  ;;
stop)
  run=$2
  if [ -f "$run/nginx.pid" ]; then
    pid=$(cat "$run/nginx.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    rm -f "$run/nginx.pid"
  fi
  ;;
*)
  echo "usage: $0 start DOCROOT PORT RUNDIR | stop RUNDIR" >&2; exit 2 ;;
esac
