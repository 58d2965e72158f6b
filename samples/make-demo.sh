#!/bin/sh
# Regenerates demo.avi: 30 s test pattern (320x240, 20 fps, MPEG-4/XVID) with a soft 330 Hz tone (MP3, 48 kHz) in AVI.
cd "$(dirname "$0")" && ffmpeg -y -hide_banner -loglevel error -f lavfi -i "testsrc2=size=320x240:rate=20:duration=30" -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=29.97" -af "volume=0.35" -c:v mpeg4 -vtag XVID -q:v 10 -g 40 -c:a libmp3lame -b:a 64k -ac 1 -avoid_negative_ts disabled demo.avi
