#!/bin/sh
# Fuzzes the CSV reader for a bounded time from the shipped data and a few odd files.
# Usage: run_fuzz.sh FUZZER DATA_DIR WORKDIR SECONDS
set -e
fuzzer=$1 data=$2 dir=$3 seconds=$4
rm -rf "$dir" && mkdir -p "$dir/corpus"
cp "$data"/*.csv "$dir/corpus/"
printf 'a,"b",c\n1,2,3\n\n4, 5 ,6,\n' > "$dir/corpus/ragged"
printf '1e308,-inf,nan\n0x1p-1074,1e-400,"7"\r\n' > "$dir/corpus/extremes"
cd "$dir"
exec "$fuzzer" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -print_final_stats=1 corpus
