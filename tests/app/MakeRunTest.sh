#!/bin/sh
# make run builds the program and what it links, not the test suite, so that a fresh clone shows
# the program within minutes; it starts the program from run/, which make clean leaves alone.
set -eu
build=$(make -s -n -C "$1" run | grep -- 'cmake --build')
case "$build" in
  *"--target quorvex"*) ;;
  *) echo "make run builds more than the program: $build"; exit 1 ;;
esac
plan=$(make -s -n -C "$1" run)
echo "$plan" | grep -q -- '--target quorvex XBE7 xbesql7 xbecrypt7' || { echo "make run builds no engines: $plan"; exit 1; }
echo "$plan" | grep -q 'install .*build/engines/XBE7.so.* run/$' || { echo "make run puts nothing in run/: $plan"; exit 1; }
echo "$plan" | grep -q '^\./run/quorvex$' || { echo "make run starts no run/quorvex: $plan"; exit 1; }
if make -s -n -C "$1" clean | grep -q 'run'; then echo "make clean touches run/"; exit 1; fi
