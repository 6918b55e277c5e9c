# make run: build and start the program.  make test: build and run every test,
# once normally and once under AddressSanitizer and UndefinedBehaviorSanitizer.
JOBS ?= 8
GEN = -G Ninja
.PHONY: deps configure build run test test-plain test-asan bench fuzz clean

deps:
	@./deps/install.sh

configure: deps
	cmake -S . -B build $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build build -j$(JOBS)

# Only the program, what it links and the engines it loads, so the first start does not wait for
# the test suite. The program keeps its folder tree beside its own file, so it runs from a folder
# of its own that no build step and no "make clean" touches: a user's files live in run/Quorvex.
RUN_DIR = run
ENGINES = XBE7 xbesql7 xbecrypt7
run: configure
	cmake --build build -j$(JOBS) --target quorvex $(ENGINES)
	@mkdir -p $(RUN_DIR)
	install -m 755 build/app/quorvex $(addprefix build/engines/,$(addsuffix .so,$(ENGINES))) $(RUN_DIR)/
	./$(RUN_DIR)/quorvex

test: test-plain test-asan

test-plain: build
	cd build && ctest -j$(JOBS) --output-on-failure --repeat until-pass:3

test-asan: deps
	cmake -S . -B build-asan $(GEN) -DCMAKE_BUILD_TYPE=Debug -DQUORVEX_SANITIZE=ON
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest -j$(JOBS) --output-on-failure --repeat until-pass:3

bench: deps
	cmake -S . -B build-bench $(GEN) -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BENCH=ON -DQUORVEX_TESTS=OFF
	cmake --build build-bench -j$(JOBS)
	@for b in build-bench/bench/bench_*; do [ -x "$$b" ] && echo "== $$b" && "$$b" || exit 1; done

# make fuzz FUZZ_SECONDS=600 runs every fuzz target for that long.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_FUZZ=ON -DQUORVEX_TESTS=OFF
	cmake --build build-fuzz -j$(JOBS)
	@mkdir -p build-fuzz/corpus
	@for f in build-fuzz/fuzz/fuzz_*; do [ -x "$$f" ] || continue; n=$$(basename $$f); \
	  mkdir -p build-fuzz/corpus/$$n; echo "== $$n"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 build-fuzz/corpus/$$n $$( [ -d fuzz/corpus/$$n ] && echo fuzz/corpus/$$n ) || exit 1; done

clean:
	rm -rf build build-asan build-bench build-fuzz
