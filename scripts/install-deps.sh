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
  libsvm-tools  # svm-predict: the link-inference tests check probabilities against it
  # tag reading (Orsank, Velmor)
  libtag1-dev
  # audio analysis: decoders, features, hashing, community exchange
  ffmpeg libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  gstreamer1.0-plugins-ugly  # asfdemux: WMA through the GStreamer decoder
  gstreamer1.0-tools  # gst-launch-1.0: the reference of the player start-up benchmark
  libfftw3-dev libssl-dev libcurl4-openssl-dev
  # the locale tests: file formats under a decimal-comma locale
  locales
  # the player and its desktop integration (Qt Widgets, Network, D-Bus)
  qt6-base-dev
  dbus-daemon  # dbus-run-session: the media-control tests run on a private session bus
  desktop-file-utils  # desktop-file-validate: the install test checks the menu entry
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

locale_missing=0
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then locale_missing=1; fi

if [ ${#missing[@]} -eq 0 ] && [ "$locale_missing" -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
if [ ${#missing[@]} -ne 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The de_DE.UTF-8 locale (decimal comma) for the locale tests, generated when missing.
if [ "$locale_missing" -eq 1 ]; then
  echo "install-deps: generating the de_DE.UTF-8 locale"
  if grep -q '^# *de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    $SUDO sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo "de_DE.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen
fi
