#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Harkline developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Renders the PNGs that the program and the installation use from their SVG sources. Needs
# rsvg-convert (librsvg2-bin) and ImageMagick; the PNGs are committed, so a build needs neither.
set -euo pipefail
cd "$(dirname "$0")"
rsvg-convert -w 192 -h 29 logo.svg -o logo.png
rsvg-convert -w 384 -h 58 logo.svg -o logo@2x.png
# The window icon is 77 x 60 pixels in 16 colours.
tmp=$(mktemp --suffix=.png)
trap 'rm -f "$tmp"' EXIT
rsvg-convert -w 77 -h 60 harkline.svg -o "$tmp"
convert "$tmp" -dither None -colors 16 PNG8:harkline.png
# The theme icons are square: the same picture, centred.
for size in 16 32 48 64 128 256; do
    mkdir -p "icons/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" org.harkline.Harkline.svg -o "icons/${size}x${size}/org.harkline.Harkline.png"
done
