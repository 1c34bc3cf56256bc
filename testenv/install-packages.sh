#!/usr/bin/env bash
# Installs the Debian packages the builds and the test environment need. Idempotent: packages
# already present are skipped, so a warm machine spends a second here.
#
#   install-packages.sh [--i686]
#
# The product is built for i686 (what ships) and for x86_64; Wine runs as a 64-bit Wine. With
# --i686 (only where the kernel runs 32-bit programs) it also installs what runs the i686 build's
# programs as 32-bit programs in that 64-bit Wine: the i386 architecture, the 32-bit Wine, the
# 32-bit Firebird client library and what builds the 32-bit client-library bridge.
set -euo pipefail

packages=(
  cmake make ninja-build git g++ clang binutils iproute2
  googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev
  wine wine64 wine64-tools libwine-dev
  xvfb xauth imagemagick x11-utils
  nsis fp-utils
  firebird3.0-server firebird3.0-utils firebird-dev libfbclient2
  locales clang-format
)
if [ "${1:-}" = --i686 ]; then
  packages+=(wine32:i386 libwine-dev:i386 libfbclient2:i386 gcc-multilib)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "testenv: adding the i386 architecture"
    dpkg --add-architecture i386
  fi
fi

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
# A mirror in the middle of a sync fails one list now and then: try again, then install from
# the lists there are (the install itself says what it cannot get).
for attempt in 1 2 3; do
  apt-get update -qq && break
  echo "testenv: the package lists could not all be refreshed (attempt $attempt)"
  sleep $((attempt * 5))
done
# Firebird's server package asks for a SYSDBA password through debconf; the private test
# instance sets its own, so the package may generate one.
echo "firebird3.0-server shared/firebird/enabled boolean false" | debconf-set-selections 2>/dev/null || true
apt-get install -y -qq --no-install-recommends "${missing[@]}"
