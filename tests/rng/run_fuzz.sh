#!/bin/sh
# Fuzzes the stream loader for a bounded time, starting from images the nrx rng
# subcommand saves. Usage: run_fuzz.sh FUZZER DRIVER WORKDIR SECONDS
set -e
fuzzer=$1 driver=$2 dir=$3 seconds=$4
rm -rf "$dir" && mkdir -p "$dir/corpus"
for g in mcg31m1 mcg59 mrg32k3a r250 wh:5; do
  "$driver" rng -g "$g" -n 3 --save "$dir/corpus/$g" > /dev/null 2>&1
done
cd "$dir"
exec "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 corpus
