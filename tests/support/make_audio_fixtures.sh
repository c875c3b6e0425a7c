#!/usr/bin/env bash
# Encodes the audio test fixtures into OUTDIR with the ffmpeg command-line tool.
# Usage: make_audio_fixtures.sh OUTDIR   (writes OUTDIR/.stamp last)
#
# Every file is generated from lavfi sources, so the set is deterministic (bit-exact flags,
# no encoder version tags). Names are stable: new files may be added, none is renamed.
#
# "Burst" below means a 10 ms, 1 kHz sine at amplitude 0.8 whose first sample is exactly at
# the stated time; everything else in a marker file is digital silence. Formats:
#   .mp3  MPEG-1 layer 3, 44.1 kHz mono, CBR 32 kbit/s (libmp3lame), Info/LAME header, no
#         ID3 tag unless the name says "_id3"
#   .m4a  AAC-LC in MP4, 44.1 kHz mono, 32 kbit/s (moov atom at the end)
#   .wma  WMA v2 in ASF, 44.1 kHz mono, 32 kbit/s
#   .wav  PCM signed 16-bit, 22,050 Hz mono (except tone1k_20s.wav, see below)
#   .ogg  Vorbis in Ogg, 44.1 kHz mono, quality 2 (libvorbis)
#
# Marker files (window placement):
#   marker65_240s.{mp3,m4a,wav,wma}  240 s, one burst at 65.0 s
#   marker65_240s_id3.mp3            same audio as marker65_240s.mp3, with an ID3v2.3 tag
#                                    (title "Marker Song", artist "Zarvell Test", album
#                                    "Fixture Album", genre "Test", year 2004, track 1) and
#                                    a 128x128 PNG front cover (about 24 kB), so the audio starts after a
#                                    tag of several kilobytes
#   marker_50s.{mp3,wav,ogg}         50 s, one burst at 25.0 s
#   marker_100s.{mp3,wav,ogg}        100 s, bursts at 15.0 s and 65.0 s
# Tones (sine, amplitude 0.5):
#   tone1k_20s.{mp3,m4a,wma}         20 s, 1 kHz, 44.1 kHz mono
#   tone1k_20s.wav                   20 s, 1 kHz, 44.1 kHz STEREO (both channels equal), to
#                                    exercise down-mixing and resampling
#   tone4k_100s.{mp3,m4a,wma}        100 s, 4 kHz
#   tone4k_240s.mp3                  240 s, 4 kHz
#   tone1k_50s.wav                   50 s, 1 kHz
# Short songs (sine, amplitude 0.5), for playback to the end:
#   tone1k_2s.{wav,mp3,m4a,flac,ogg}  2 s, 1 kHz, mono (.flac FLAC, .ogg Vorbis at 44.1 kHz)
#   tone1k_1s.wav                     1 s, 1 kHz, 22,050 Hz mono
# Silence and noise:
#   silence_30s.wav, silence_240s.mp3   digital silence
#   noise_30s.wav                    white noise, amplitude 0.3, seed 7
# Rhythm:
#   click120_40s.{mp3,wav}           120 BPM click track: a burst at every 0.5 s (0.0, 0.5,
#                                    1.0, ...), 40 s
#   click120_100s.mp3                the same, 100 s
# Broken input (decoders must fail cleanly, never crash or hang):
#   empty.mp3                        0 bytes
#   not_audio.wav                    a short text file
#   garbage.mp3, garbage.m4a, garbage.wma  64,000 bytes of noise (no valid header)
#   truncated_240s.mp3               first 32,768 bytes of marker65_240s.mp3 (its header
#                                    still claims 240 s)
#   truncated_240s.m4a               first 32,768 bytes of marker65_240s.m4a (no moov atom)
#   truncated_240s.wav               marker65_240s.wav cut after 1 s of data (header claims
#                                    240 s)
#   corrupt_middle_240s.mp3          marker65_240s.mp3 with bytes 100,000..299,999
#                                    overwritten by noise
#   video_only.mp4                   1 s of MPEG-4 video, no audio stream
# Protected (must be refused by name):
#   protected.m4p                    a copy of tone1k_20s.m4a
set -euo pipefail
out=$1
mkdir -p "$out"
rm -f "$out/.stamp"

ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
bitexact=(-fflags +bitexact -flags:a +bitexact -map_metadata -1)

# A burst expression term starting at time $1.
burst() { echo "if(between(t-$1\,0\,0.01)\,0.8*sin(2*PI*1000*(t-$1))\,0)"; }

# lavfi source: bursts at the given times, $1 = duration, rest = burst times.
marker_src() {
  local dur=$1 expr="0"
  shift
  for at in "$@"; do expr="$expr+$(burst "$at")"; done
  echo "aevalsrc=exprs='$expr':s=44100:d=$dur"
}

enc_mp3() { ff -f lavfi -i "$1" "${bitexact[@]}" -ac 1 -ar 44100 -c:a libmp3lame -b:a 32k \
  -id3v2_version 0 -write_id3v1 0 "$2"; }
enc_m4a() { ff -f lavfi -i "$1" "${bitexact[@]}" -ac 1 -ar 44100 -c:a aac -b:a 32k "$2"; }
enc_wma() { ff -f lavfi -i "$1" "${bitexact[@]}" -ac 1 -ar 44100 -c:a wmav2 -b:a 32k "$2"; }
enc_wav() { ff -f lavfi -i "$1" "${bitexact[@]}" -ac 1 -ar 22050 -c:a pcm_s16le "$2"; }
enc_ogg() { ff -f lavfi -i "$1" "${bitexact[@]}" -ac 1 -ar 44100 -c:a libvorbis -q:a 2 "$2"; }

# Runs up to two encodes at a time (the machine is shared).
pids=()
bg() {
  "$@" &
  pids+=($!)
  if [ ${#pids[@]} -ge 2 ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
}
wait_all() { for p in "${pids[@]}"; do wait "$p"; done; pids=(); }

m65=$(marker_src 240 65)
bg enc_mp3 "$m65" "$out/marker65_240s.mp3"
bg enc_m4a "$m65" "$out/marker65_240s.m4a"
bg enc_wma "$m65" "$out/marker65_240s.wma"
bg enc_wav "$m65" "$out/marker65_240s.wav"
cover="$out/.cover.png"
ff -f lavfi -i "mandelbrot=s=128x128:r=1" -frames:v 1 -flags:v +bitexact -c:v png "$cover"
bg ff -f lavfi -i "$m65" -i "$cover" -map 0:a -map 1:v \
  -fflags +bitexact -flags:a +bitexact -flags:v +bitexact \
  -ac 1 -ar 44100 -c:a libmp3lame -b:a 32k -c:v copy -disposition:v attached_pic \
  -metadata:s:v title="Album cover" -metadata:s:v comment="Cover (front)" \
  -id3v2_version 3 -write_id3v1 0 \
  -metadata title="Marker Song" -metadata artist="Zarvell Test" \
  -metadata album="Fixture Album" -metadata genre="Test" -metadata date=2004 \
  -metadata track=1 "$out/marker65_240s_id3.mp3"

m50=$(marker_src 50 25)
bg enc_mp3 "$m50" "$out/marker_50s.mp3"
bg enc_wav "$m50" "$out/marker_50s.wav"
bg enc_ogg "$m50" "$out/marker_50s.ogg"
m100=$(marker_src 100 15 65)
bg enc_mp3 "$m100" "$out/marker_100s.mp3"
bg enc_wav "$m100" "$out/marker_100s.wav"
bg enc_ogg "$m100" "$out/marker_100s.ogg"

t1k20="aevalsrc=exprs='0.5*sin(2*PI*1000*t)':s=44100:d=20"
bg enc_mp3 "$t1k20" "$out/tone1k_20s.mp3"
bg enc_m4a "$t1k20" "$out/tone1k_20s.m4a"
bg enc_wma "$t1k20" "$out/tone1k_20s.wma"
bg ff -f lavfi -i "aevalsrc=exprs='0.5*sin(2*PI*1000*t)|0.5*sin(2*PI*1000*t)':s=44100:d=20" \
  "${bitexact[@]}" -c:a pcm_s16le "$out/tone1k_20s.wav"
t4k100="aevalsrc=exprs='0.5*sin(2*PI*4000*t)':s=44100:d=100"
bg enc_mp3 "$t4k100" "$out/tone4k_100s.mp3"
bg enc_m4a "$t4k100" "$out/tone4k_100s.m4a"
bg enc_wma "$t4k100" "$out/tone4k_100s.wma"
bg enc_mp3 "aevalsrc=exprs='0.5*sin(2*PI*4000*t)':s=44100:d=240" "$out/tone4k_240s.mp3"
bg enc_wav "aevalsrc=exprs='0.5*sin(2*PI*1000*t)':s=22050:d=50" "$out/tone1k_50s.wav"

t1k2="aevalsrc=exprs='0.5*sin(2*PI*1000*t)':s=44100:d=2"
bg enc_wav "$t1k2" "$out/tone1k_2s.wav"
bg enc_mp3 "$t1k2" "$out/tone1k_2s.mp3"
bg enc_m4a "$t1k2" "$out/tone1k_2s.m4a"
bg ff -f lavfi -i "$t1k2" "${bitexact[@]}" -ac 1 -c:a flac "$out/tone1k_2s.flac"
bg ff -f lavfi -i "$t1k2" "${bitexact[@]}" -ac 1 -c:a libvorbis -q:a 2 "$out/tone1k_2s.ogg"
bg enc_wav "aevalsrc=exprs='0.5*sin(2*PI*1000*t)':s=22050:d=1" "$out/tone1k_1s.wav"

bg enc_wav "anullsrc=r=22050:cl=mono,atrim=duration=30" "$out/silence_30s.wav"
bg enc_mp3 "anullsrc=r=44100:cl=mono,atrim=duration=240" "$out/silence_240s.mp3"
bg enc_wav "anoisesrc=seed=7:amplitude=0.3:color=white:r=22050:d=30" "$out/noise_30s.wav"

click="0.8*lt(mod(t\,0.5)\,0.01)*sin(2*PI*1000*t)"
bg enc_mp3 "aevalsrc=exprs='$click':s=44100:d=40" "$out/click120_40s.mp3"
bg enc_wav "aevalsrc=exprs='$click':s=22050:d=40" "$out/click120_40s.wav"
bg enc_mp3 "aevalsrc=exprs='$click':s=44100:d=100" "$out/click120_100s.mp3"

bg ff -f lavfi -i "color=c=black:s=32x32:d=1:r=10" -fflags +bitexact -flags:v +bitexact \
  -map_metadata -1 -c:v mpeg4 -an "$out/video_only.mp4"
noise_bytes="$out/.noise.bin"
bg ff -f lavfi -i "anoisesrc=seed=11:amplitude=1:r=32000:d=1" -ac 1 -f s16le -c:a pcm_s16le \
  "$noise_bytes"
wait_all

# Broken files derived from the ones above.
: >"$out/empty.mp3"
printf 'This is a text file, not audio.\n' >"$out/not_audio.wav"
for ext in mp3 m4a wma; do cp "$noise_bytes" "$out/garbage.$ext"; done
head -c 32768 "$out/marker65_240s.mp3" >"$out/truncated_240s.mp3"
head -c 32768 "$out/marker65_240s.m4a" >"$out/truncated_240s.m4a"
head -c $((44 + 22050 * 2)) "$out/marker65_240s.wav" >"$out/truncated_240s.wav"
cp "$out/marker65_240s.mp3" "$out/corrupt_middle_240s.mp3"
for off in 100000 164000 228000; do
  dd if="$noise_bytes" of="$out/corrupt_middle_240s.mp3" bs=1 seek=$off conv=notrunc \
    status=none
done
head -c 8000 "$noise_bytes" | dd of="$out/corrupt_middle_240s.mp3" bs=1 seek=292000 \
  conv=notrunc status=none
cp "$out/tone1k_20s.m4a" "$out/protected.m4p"
rm -f "$noise_bytes" "$cover"

touch "$out/.stamp"
