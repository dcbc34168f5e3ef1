#!/usr/bin/env bash
# Makes a throw-away certificate authority and a server certificate signed by it, for tests
# and the lab:  make-test-ca.sh DIR [NAME]
#   DIR/ca.pem, DIR/ca.key        the authority (give ca.pem to the client as its extra CA)
#   DIR/server.pem, DIR/server.key  the server's certificate (SAN localhost, 127.0.0.1, ::1)
# NAME (default "Orvane Test CA") is the authority's common name: two runs with different
# names give authorities that do not trust each other's certificates.
set -euo pipefail
dir="${1:?usage: make-test-ca.sh DIR [NAME]}"
name="${2:-Orvane Test CA}"
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=$name" \
  -keyout ca.key -out ca.pem \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr 2>/dev/null
cat > server.ext <<EXT
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1
EXT
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
  -extfile server.ext -out server.pem 2>/dev/null
rm -f server.csr server.ext ca.srl
chmod 600 ca.key server.key
