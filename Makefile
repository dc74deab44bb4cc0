# Wraps CMake. `make run` sets everything up and starts the game; `make test`
# sets everything up and runs every test (the normal build, then the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer).

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# Fuzz targets run at once (each a single process); 1 keeps the figures comparable.
FUZZ_PARALLEL ?= 1
CMAKE_FLAGS ?=
# The project's own builds treat warnings as errors; a plain cmake build does not.
PROJECT_FLAGS = -DMOSWICK_WERROR=ON

PREFIX ?= /usr/local

.PHONY: all deps configure build run install screenshots test test-release test-asan test-configs bench fuzz format clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(PROJECT_FLAGS) $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./moswick

# The program, its data, the desktop entry, icons and metainfo under PREFIX.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The README's pictures (docs/*.png) from headless runs of the built game.
screenshots: build
	scripts/screenshots $(BUILD) docs

test: deps test-release test-asan

# Builds as packagers do (no -Werror; GCC in four build types, clang in
# Release) and runs the tests of each; slow, not part of `make test`.
test-configs: deps
	scripts/build-configs

test-release: configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMOSWICK_SANITIZE=ON -DMOSWICK_BENCH=OFF $(PROJECT_FLAGS) $(CMAKE_FLAGS)

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	$(BUILD)/bench/moswick_bench --benchmark_min_time=0.2

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOSWICK_FUZZ=ON -DMOSWICK_TESTS=OFF -DMOSWICK_BENCH=OFF

# Runs every libFuzzer target for FUZZ_SECONDS each; crashes land in build-fuzz/.
fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_PARALLEL)

format:
	find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
