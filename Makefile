# Pelmora: the commands of the README. Every target installs what is missing first.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps configure build test run bench quality screenshot asan fuzz fuzz-build fuzz-ci memcheck clean format

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -x $(BUILD)/app/pelmora ]; then exec $(BUILD)/app/pelmora; \
	 else echo "The window program is not built yet; running the command-line tool:"; \
	      $(BUILD)/cli/pelmora-gen --seed 1 -n 10 gamma 2 3; fi

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; done; \
	 if [ -x scripts/bench-cli ]; then scripts/bench-cli $(BUILD); fi

quality: build
	@$(BUILD)/bench/clock-quality

screenshot: build
	@scripts/screenshot $(BUILD)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# the window's tests included (offscreen); only what ctest runs is built.
asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build build-asan --target test-programs -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# libFuzzer (clang 14): `make fuzz` runs each target FUZZ_SECONDS (default
# 600) seconds, `make fuzz-ci` about a minute each; both print the executions.
FUZZ_SECONDS ?= 600
fuzz-build: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

fuzz: fuzz-build
	fuzz/run -b build-fuzz -t $(FUZZ_SECONDS)

fuzz-ci: fuzz-build
	fuzz/run -b build-fuzz -t 60

# Valgrind over the engine tests, a pelmora-gen batch and a window session;
# the peak memory of a hundred million values (slow: not part of CI).
memcheck: deps
	scripts/memcheck

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-memcheck
