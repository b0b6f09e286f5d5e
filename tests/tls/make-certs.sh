#!/usr/bin/env bash
# Makes the certificates of the HTTPS tests in DIR with openssl: a test certificate
# authority, and from it a certificate for "localhost" (good.pem), one whose validity ended
# in 2021 (expired.pem) and one for another host name (wronghost.pem); plus a self-signed
# certificate for "localhost" (selfsigned.pem). Each .pem holds the certificate and its key.
#
#   tests/tls/make-certs.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "make-certs: failed: $*" >&2; "$@"; exit 1; }; }

quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 30 \
  -subj "/CN=Marquelle Test CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign"

mkdir -p ca.db
: >ca.db/index.txt
echo 1000 >ca.db/serial
cat >ca.cnf <<CNF
[ca]
default_ca = test
[test]
dir = $dir/ca.db
database = \$dir/index.txt
serial = \$dir/serial
new_certs_dir = \$dir
certificate = $dir/ca.crt
private_key = $dir/ca.key
default_md = sha256
policy = any
unique_subject = no
copy_extensions = copy
[any]
commonName = supplied
[server]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
CNF

# sign NAME HOST [openssl ca validity options...]
sign() {
  local name=$1 host=$2
  shift 2
  quiet openssl req -new -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" \
    -subj "/CN=$host" -addext "subjectAltName=DNS:$host"
  quiet openssl ca -batch -config ca.cnf -extensions server -in "$name.csr" -out "$name.crt" "$@"
  cat "$name.crt" "$name.key" >"$name.pem"
}
sign good localhost -days 30
sign wronghost feeds.example.test -days 30
sign expired localhost -startdate 20200101000000Z -enddate 20210101000000Z

quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout selfsigned.key -out selfsigned.crt -days 30 \
  -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost"
cat selfsigned.crt selfsigned.key >selfsigned.pem
openssl x509 -in ca.crt -outform DER -out ca.der
