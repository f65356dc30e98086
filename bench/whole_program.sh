#!/usr/bin/env bash
# Times each program's whole run (load, decode, write, report) on the sample image and on a 4 MiB
# image, against `cat` of the same input to /dev/null, in one run of this script. Each command runs
# REPEAT times and the fastest time counts; the ratio is program time / cat time.
#   bench/whole_program.sh [TOOLS_DIR] [REPEAT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tools=$(cd "${1:-$root/build/bin}" && pwd)
repeat=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The sample image, and a 4 MiB image: the sample image at its start, then pseudo-random bytes
# (the same every run), holding the same archives at the same offsets.
cp "$root/sample/sample.bin" sample.bin
cp sample.bin big.bin
LC_ALL=C awk 'BEGIN { srand(7); for (i = 0; i < 4194304; i++) printf "%c", int(rand() * 255) + 1 }' >> big.bin
truncate -s 4194304 big.bin
# VOLSKAR compresses whole files of words: a decoded plane map, and 4 MiB of them.
"$tools/QUIRNOL" sample.bin plane.bin 2000 >/dev/null
for _ in $(seq 1 1872); do cat plane.bin; done | head -c 4194304 > plane4m.bin

fastest() {  # fastest of $repeat runs of the command, in microseconds
  local best=999999999 start end
  for _ in $(seq 1 "$repeat"); do
    rm -rf out* sample big
    start=$(date +%s%N)
    "$@" >/dev/null </dev/null
    end=$(date +%s%N)
    (( (end - start) / 1000 < best )) && best=$(( (end - start) / 1000 ))
  done
  echo "$best"
}

printf '%-10s %-8s %12s %12s %8s\n' program input "program µs" "cat µs" ratio
row() {  # program input-label input-file command...
  local program=$1 label=$2 input=$3
  shift 3
  local t c
  t=$(fastest "$@")
  c=$(fastest cat "$input")
  printf '%-10s %-8s %12s %12s %8s\n' "$program" "$label" "$t" "$c" "$(awk -v t="$t" -v c="$c" 'BEGIN { printf "%.1f", t / c }')"
}
for image in sample big; do
  row TAMBRIX "$image" $image.bin "$tools/TAMBRIX" $image.bin out.bin 200
  row QUIRNOL "$image" $image.bin "$tools/QUIRNOL" $image.bin out.bin 2000
  row GORVELT "$image" $image.bin "$tools/GORVELT" $image.bin out.bin 1000
  row BRATHUSK "$image" $image.bin "$tools/BRATHUSK" $image.bin -n
  row PILMARO "$image" $image.bin "$tools/PILMARO" $image.bin out.bin 3000
done
row VOLSKAR plane plane.bin "$tools/VOLSKAR" plane.bin out.eni
row VOLSKAR plane4m plane4m.bin "$tools/VOLSKAR" plane4m.bin out.eni
