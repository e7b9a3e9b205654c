#!/bin/sh
# Times mossport-rtf to-text against unrtf --text on one large RTF document: median wall time of 5 runs each,
# and peak memory (maximum resident set size) from /usr/bin/time -v.
#
#   bench/rtf/compare_unrtf.sh build-rtf/bin/mossport-rtf [FILE.rtf]
#
# Without FILE.rtf it writes a 10 MB document with gen_rtf.py into a temporary folder first. Needs python3,
# unrtf and /usr/bin/time (Debian packages python3, unrtf and time).
set -eu

tool=${1:?usage: compare_unrtf.sh PATH/TO/mossport-rtf [FILE.rtf]}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

if [ $# -ge 2 ]; then
    input=$2
else
    input=$work/bench.rtf
    python3 "$here/gen_rtf.py" "$input" 10
fi

# run NAME COMMAND...: prints "NAME SECONDS KILOBYTES" for each of 5 runs
run() {
    name=$1
    shift
    for i in 1 2 3 4 5; do
        /usr/bin/time -v -o "$work/time.txt" "$@" > "$work/out.txt" 2> /dev/null
        seconds=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt" |
            awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
        kilobytes=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
        echo "$name $seconds $kilobytes"
    done
}

median() {
    sort -n | sed -n 3p
}

results=$work/results.txt
run mossport "$tool" to-text "$input" > "$results"
run unrtf unrtf --text "$input" >> "$results"

ours=$(awk '$1 == "mossport" { print $2 }' "$results" | median)
theirs=$(awk '$1 == "unrtf" { print $2 }' "$results" | median)
our_memory=$(awk '$1 == "mossport" { print $3 }' "$results" | sort -n | tail -1)
their_memory=$(awk '$1 == "unrtf" { print $3 }' "$results" | sort -n | tail -1)

echo "input: $input ($(wc -c < "$input") bytes)"
echo "mossport-rtf to-text: median ${ours} s, peak ${our_memory} kB"
echo "unrtf --text:         median ${theirs} s, peak ${their_memory} kB"
awk -v a="$ours" -v b="$theirs" 'BEGIN { if (a > 0) printf "unrtf takes %.1f times as long\n", b / a }'
awk -v a="$ours" -v b="$theirs" 'BEGIN { exit !(a <= b) }' || { echo "mossport-rtf is slower than unrtf"; exit 1; }
