# Pelmora: the commands of the README. Every target installs what is missing first.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps configure build test run run-deps run-build deb bench quality screenshot asan fuzz fuzz-build fuzz-ci memcheck clean format
.PHONY: deb-check cluster-check

all: build

deps:
	@scripts/install-deps test

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DPELMORA_TESTS=ON -DPELMORA_BENCH=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The window alone: only what building and running it needs is installed,
# and only the two programs and the pictures are built.
run-deps:
	@scripts/install-deps run

run-build: run-deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DPELMORA_TESTS=OFF -DPELMORA_BENCH=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target pelmora pelmora-gen

run: run-build
	@exec $(BUILD)/app/pelmora

# The two Debian packages, build-deb/pelmora-gen_VERSION_ARCH.deb and
# build-deb/pelmora_VERSION_ARCH.deb, from a build of their own: flags from
# dpkg-buildflags, file dates from the last commit (scripts/build-deb).
deb:
	@scripts/install-deps deb
	@JOBS=$(JOBS) scripts/build-deb build-deb

# clang-format over the C++ sources, in place (.clang-format holds the style).
format:
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

bench: build
	@scripts/install-deps bench || echo "bench: gsl-bin could not be installed; gsl-randist is left out"
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

# The packages of the last commit built twice and compared byte for byte,
# then lintian and hardening-check on them (scripts/check-package).
deb-check:
	@scripts/install-deps test
	scripts/check-package build-deb-check

# Needs root: a one-node Slurm cluster (munged, slurmctld, slurmd) and a Dask
# LocalCluster run the shard scripts, checked against one process.
cluster-check:
	@if [ "$$(id -u)" != 0 ]; then echo "cluster-check: needs root (installs Slurm, starts munged, slurmctld and slurmd); run it as root"; exit 1; fi
	@$(MAKE) --no-print-directory build
	scripts/cluster-check $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-memcheck build-deb build-deb-check

# --- Other CPUs: the software extended engine -------------------------------
# `make soft`: the engine with Extended in software (PELMORA_SOFT_EXTENDED)
# on this machine, in build-soft/, and the whole suite over it.
# `make arm64`: the engine, core, pelmora-gen and their tests cross-built
# for arm64 (g++-aarch64-linux-gnu, Debian's arm64 libacl and MPFR) in
# build-arm64/ and run under qemu-aarch64; the tests that start pelmora-gen
# start a host script that runs it under qemu. Left out there: the two
# hostile tests that limit the threads or the address space of the child,
# since the limit binds qemu itself, and the hostile save tests (file
# handling without arithmetic, run as two users in children of children,
# which once stalled past their alarm under qemu on a loaded machine), and
# the test of deadlines in a forked child, since qemu-user cannot start a
# thread in the child of a process that had threads. Then
# seeded runs of every row, compared with the software engine on this
# machine: the same integer arithmetic, so not one value may differ.
# `make compare-engines`: every row through both engines, the differing
# printed lines counted (scripts/compare-engines).
.PHONY: soft soft-build arm64 arm64-build compare-engines
SOFT_FLAGS  = $(CMAKE_FLAGS) -DPELMORA_SOFT_EXTENDED=ON -DPELMORA_TESTS=ON -DPELMORA_BENCH=ON
ARM64_TESTS = test_uniform test_numeric test_generators test_statistics test_clock_mixing test_soft_functions \
              core_test_numtext core_test_rows core_test_boxtext core_test_speech \
              test_cli test_cli_binary test_moments test_hostile pelmora-gen
ARM64_GEN   = build-arm64/tests/emulated/pelmora-gen
ARM64_SKIP  = PelmoraGen.WithoutAWriterThreadSaysSoAndLeavesTheFile|PelmoraGen.OutOfMemoryIsOneLineSayingWhat|^Save/|^ChildOfATest\.

soft-build: deps
	@cmake -S . -B build-soft $(SOFT_FLAGS) >/dev/null
	@cmake --build build-soft -j $(JOBS)

soft: soft-build
	cd build-soft && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

arm64-build:
	@scripts/install-deps arm64
	@cmake -S . -B build-arm64 --toolchain $(CURDIR)/scripts/toolchain-arm64.cmake $(CMAKE_FLAGS) \
	   -DPELMORA_GUI=OFF -DPELMORA_BENCH=OFF -DPELMORA_TESTS=ON >/dev/null
	@cmake --build build-arm64 -j $(JOBS) --target $(ARM64_TESTS)

arm64: arm64-build soft-build
	cd build-arm64/tests && for dir in engine core cli hostile; do \
	  ctest --output-on-failure -j $(JOBS) --test-dir $$dir -E '$(ARM64_SKIP)' || exit 1; done
	scripts/compare-engines -n 100000 --seeds 1 build-soft/cli/pelmora-gen $(ARM64_GEN)

compare-engines: build soft-build
	scripts/compare-engines $(BUILD)/cli/pelmora-gen build-soft/cli/pelmora-gen
