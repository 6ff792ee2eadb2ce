# Entry points: make demo, make test (the two commands of the README), and the pieces.
SHELL := /bin/bash
CMAKE_BUILD := cmake --build
JOBS ?= $(shell nproc)

.PHONY: all bootstrap build build-native build-tsan build-win32 build-win64 test test-native test-tsan \
        test-wine test-e2e test-ship fuzz bench demo format clean

all: build

bootstrap:
	@tools/bootstrap

build: bootstrap build-native build-tsan build-win32 build-win64

build-native: bootstrap
	@cmake --preset native >/dev/null
	@$(CMAKE_BUILD) build/native -j $(JOBS)

build-tsan: bootstrap
	@cmake --preset tsan >/dev/null
	@$(CMAKE_BUILD) build/tsan -j $(JOBS)

# The shipped 32-bit program.
build-win32: bootstrap
	@cmake --preset win32 >/dev/null
	@$(CMAKE_BUILD) build/win32 -j $(JOBS)

# The same sources built for 64-bit Windows: what the demo runs, and the Wine layers where
# this machine runs no 32-bit programs (tools/wine-env --why).
build-win64: bootstrap
	@cmake --preset win64 >/dev/null
	@$(CMAKE_BUILD) build/win64 -j $(JOBS)

# Every layer; the exit status is non-zero when any test of any layer fails.
test: build
	@tools/run-tests

test-native: build-native
	@ctest --test-dir build/native -L unit --output-on-failure

test-tsan: build-tsan
	@ctest --test-dir build/tsan -L tsan --output-on-failure

# The Wine layers run build/win32 or build/win64, whichever tools/wine-env chooses
# (ORVEX_WINE_ARCH=win64 forces the 64-bit build).
test-wine: build-win32 build-win64
	@ctest --test-dir build/$$(tools/wine-env --which) -L 'wine|win' --output-on-failure

test-e2e: build-win32 build-win64
	@ctest --test-dir build/$$(tools/wine-env --which) -L e2e --output-on-failure

# The shipped program's size and reproducibility (part of make test).
test-ship: build-win32 build-win64
	@ctest --test-dir build/win32 -L ship --output-on-failure
	@ctest --test-dir build/win64 -L ship --output-on-failure

fuzz: build-native
	@ORVEX_FUZZ_SECONDS=$${ORVEX_FUZZ_SECONDS:-300} ctest --test-dir build/native -L fuzz --output-on-failure

# A measurement, not a test: natively against curl, under Wine (the win64 build) against WinINet
# and WinHTTP; first the size of both programs and what makes them up. BENCH_ARGS passes
# options, e.g. BENCH_ARGS=--quick.
bench: bootstrap
	@cmake --preset bench >/dev/null
	@$(CMAKE_BUILD) build/bench -j $(JOBS) --target bench_download
	@cmake --preset win32 >/dev/null
	@$(CMAKE_BUILD) build/win32 -j $(JOBS) --target OrvexDownload
	@cmake --preset win64 >/dev/null
	@$(CMAKE_BUILD) build/win64 -j $(JOBS) --target OrvexDownload ui_driver bench_download \
	    bench_wininet bench_winhttp add_root_cert
	@python3 bench/program_sizes.py build/win32 build/win64
	@python3 bench/run_bench.py --build build/bench --wine-build build/win64 $(BENCH_ARGS)

# make demo DEMO_ARGS=--https serves the package over https.
demo: build-win64
	@tools/demo $(DEMO_ARGS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
