#!/usr/bin/env bash
# Installs, from Debian packages only, everything Zarvell needs to build, run and test.
# Idempotent: packages already present are not touched, and apt is not called at all when
# nothing is missing. Uses sudo when not run as root.
set -euo pipefail
# Arguments are checked before anything is built.
case ${1:-} in
  "") ;;
  -h | --help) echo "usage: scripts/install-deps.sh   (installs the missing Debian packages; no arguments)"; exit 0 ;;
  *) echo "install-deps.sh: takes no arguments: $*" >&2; exit 2 ;;
esac

packages=(
  # toolchain and test tools
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  # engine
  liblog4cplus-dev libexpat1-dev expat libsvm-dev
  # audio analysis: decoders, features, hashing, community exchange
  ffmpeg libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  gstreamer1.0-plugins-ugly  # asfdemux: WMA through the GStreamer decoder
  libfftw3-dev libssl-dev libcurl4-openssl-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
