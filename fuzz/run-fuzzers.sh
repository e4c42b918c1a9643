#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (Debian: clang-14 libclang-rt-14-dev) and runs
# each for a bounded time on a copy of its seed corpus.
# Usage: fuzz/run-fuzzers.sh [seconds per target, default 60] [build dir, default build-fuzz]
set -euo pipefail

seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build_dir=${2:-$source_dir/build-fuzz}
cxx=${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++)}
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$source_dir")

mkdir -p "$build_dir"
build() { # name, sources...
    local name=$1
    shift
    "$cxx" "${flags[@]}" "$@" -o "$build_dir/$name"
}
build report_descriptor_fuzz "$here/ReportDescriptorFuzz.cpp" \
    "$source_dir/platform/linux/ReportDescriptor.cpp"
build uevent_fuzz "$here/UeventFuzz.cpp" "$source_dir/platform/linux/Uevent.cpp"

run() { # target, corpus name
    local corpus="$build_dir/corpus-$2"
    rm -rf "$corpus"
    cp -r "$here/corpus/$2" "$corpus"
    echo "== $1: ${seconds}s"
    "$build_dir/$1" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 "$corpus"
}
run report_descriptor_fuzz report_descriptor
run uevent_fuzz uevent
