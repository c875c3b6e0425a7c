#!/usr/bin/env bash
# Encodes the audio test fixtures into OUTDIR with the ffmpeg command-line tool.
# Usage: make_audio_fixtures.sh OUTDIR   (writes OUTDIR/.stamp last)
set -euo pipefail
out=$1
mkdir -p "$out"
touch "$out/.stamp"
