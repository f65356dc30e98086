#!/usr/bin/env bash
# The main job: runs every program on the sample image, printing each report and leaving the
# output files in the folder given.
#   main_job.sh TOOLS_DIR SAMPLE_IMAGE OUTPUT_DIR
set -euo pipefail
tools=$(cd "$1" && pwd)
sample=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
out=$3
rm -rf "$out"
mkdir -p "$out"
cd "$out"
cp "$sample" sample.bin

run() {
  echo "\$ $*"
  "$tools/$1" "${@:2}"
  echo
  echo
}

# Kozinski: the level layout at 0x200.
run TAMBRIX sample.bin level.bin 200

# Nemesis: a ring sprite at 0x1000, and a background in XOR mode at 0x1800 with padding.
run GORVELT sample.bin ring.bin 1000
run GORVELT sample.bin background.bin 0x1800 -p

# Enigma: a plane map at 0x2000, and a special stage at 0x2800 in its 16 KB form.
run QUIRNOL sample.bin plane.bin 2000
run QUIRNOL sample.bin stage.bin 2800 -p

# Enigma encoding: the plane map and the special stage just decoded, compressed again.
run VOLSKAR plane.bin plane.eni
run VOLSKAR stage.bin stage.eni -p

# Crackers: an archive of three modules at 0x3000, one file per module named after art.bin.
run PILMARO sample.bin art.bin 3000

# Nemesis scan: every archive of the image, into the folder sample/ (the image holds the decoder's
# code, so there is no question to answer).
run BRATHUSK sample.bin </dev/null

echo "Output files are in $(pwd)"
