#!/usr/bin/env bash
# Writes the raw printer bytes of a sample receipt to standard output: styled text, a
# downloaded bit image, a Code 128 barcode with its human-readable text, and a cut.
set -euo pipefail

esc() { printf '%b' "$1"; }

esc '\x1b@'                                  # initialise
esc '\x1ba\x01\x1b!\x30DEMO SHOP\n\x1b!\x00' # centred, double width and height
esc 'Example Street 1\n\n'
esc '\x1ba\x00'

# A 48 x 48 dot logo downloaded with GS * (6 x 6 bytes, column by column) and printed
# with GS /: a frame with a filled disc in the middle.
{
  esc '\x1d*\x06\x06'
  for ((x = 0; x < 48; x++)); do
    for ((band = 0; band < 6; band++)); do
      byte=0
      for ((bit = 0; bit < 8; bit++)); do
        y=$((band * 8 + bit))
        dx=$((x - 24)) dy=$((y - 24))
        if ((x < 2 || x > 45 || y < 2 || y > 45 || dx * dx + dy * dy < 196)); then
          byte=$((byte | (0x80 >> bit)))
        fi
      done
      printf "\\x$(printf '%02x' "$byte")"
    done
  done
  esc '\x1ba\x01\x1d/\x00\n\x1ba\x00'
}

esc 'Coffee                         2.50\n'
esc 'Croissant                      1.80\n'
esc '\x1b-\x01Discount\x1b-\x00                      -0.30\n'
esc '\x1bE\x01TOTAL                          4.00\x1bE\x00\n'
esc '\x1dB\x01 PAID BY CARD \x1dB\x00\n\n'

# Code 128, set B, 2-dot modules, 80 dots high, text below.
esc '\x1ba\x01\x1dh\x50\x1dw\x02\x1dH\x02\x1dk\x49\x0a{B12345678\n'
esc '\x1b!\x01Thank you for your visit\n\x1b!\x00'
esc '\x1bd\x03\x1dV\x42\x00'                 # feed three lines, partial cut
