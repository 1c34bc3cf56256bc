#!/usr/bin/env bash
# Installs the Debian packages the builds and the test environment need. Idempotent: packages
# already present are skipped, so a warm machine spends a second here.
set -euo pipefail

# The product is built for i686 (what ships) and for x86_64 (what the tests run): these
# machines' kernels cannot execute 32-bit code, so Wine runs here as a 64-bit Wine.
packages=(
  cmake make ninja-build git g++ clang
  googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev
  wine wine64 wine64-tools libwine-dev
  xvfb xauth imagemagick x11-utils
  nsis fp-utils
  firebird3.0-server firebird3.0-utils firebird-dev libfbclient2
  locales clang-format
)

missing=()
for p in "${packages[@]}"; do
  name=${p%%:*}
  arch=${p#*:}
  [ "$arch" = "$p" ] && arch=""
  if [ -n "$arch" ]; then q="$name:$arch"; else q="$name"; fi
  status=$(dpkg-query -W -f='${Status}' "$q" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "testenv: all packages present"
  exit 0
fi

echo "testenv: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# Firebird's server package asks for a SYSDBA password through debconf; the private test
# instance sets its own, so the package may generate one.
echo "firebird3.0-server shared/firebird/enabled boolean false" | debconf-set-selections 2>/dev/null || true
apt-get install -y -qq --no-install-recommends "${missing[@]}"
