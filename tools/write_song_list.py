#!/usr/bin/env python3
"""Writes an 818-byte Morrowby song list file, for the demo and the tests.

usage: write_song_list.py FILE [--mode N] [--count N] [--position N] [SONG ...]
Songs fill slots 0 onwards (at most ten); --count defaults to the number of songs."""
import argparse
import struct

parser = argparse.ArgumentParser()
parser.add_argument('file')
parser.add_argument('--mode', type=int, default=0)
parser.add_argument('--count', type=int)
parser.add_argument('--position', type=int, default=0)
parser.add_argument('songs', nargs='*')
args = parser.parse_intermixed_args()
if len(args.songs) > 10:
    parser.error('at most ten songs')
image = bytearray(818)
for i, song in enumerate(args.songs):
    raw = song.encode('utf-8')
    if len(raw) > 80:
        parser.error('a song path holds at most 80 bytes: ' + song)
    image[81 * i:81 * i + len(raw)] = raw
count = len(args.songs) if args.count is None else args.count
struct.pack_into('<hhhH', image, 810, count, args.position, args.mode, 0)
with open(args.file, 'wb') as f:
    f.write(image)
