#!/usr/bin/env bash
# Builds the core tests (not the window tests) with AddressSanitizer and
# UndefinedBehaviorSanitizer, plus the standard library's own checks, and
# runs them with CTest. Any report fails the run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VANTREL_ASAN_BUILD_DIR:-"$root/build-asan"}
tests=(test_common test_dataset test_corrections test_instrument test_app test_cli)

"$root/scripts/setup.sh"
# GCC leaves float-to-integer overflow out of "undefined"; it is asked for by name.
flags="-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow"
flags+=" -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS"
cmake -S "$root" -B "$build" -G Ninja -DVANTREL_WERROR=ON -DVANTREL_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined,float-cast-overflow" >/dev/null

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake --build "$build" --target "${tests[@]}"
pattern=$(IFS='|'; echo "${tests[*]}")
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -R "^($pattern)\."
