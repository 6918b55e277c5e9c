#!/bin/sh
# make run builds the program and what it links, not the test suite, so that a fresh clone shows
# the program within minutes.
set -eu
build=$(make -s -n -C "$1" run | grep -- 'cmake --build')
case "$build" in
  *"--target quorvex"*) ;;
  *) echo "make run builds more than the program: $build"; exit 1 ;;
esac
