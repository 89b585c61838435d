# Wraps CMake: installs what is missing, builds, generates the data set, runs.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 10

.PHONY: all deps build run test test-asan bench fuzz clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./scripts/run-game.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZV_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	# The random-ride soak runs its full 200 rides in `make test`; a sample is enough here.
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ZV_SIM_ROBUST_RUNS=$${ZV_SIM_ROBUST_RUNS:-20} \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

bench: build
	cmake --build $(BUILD) --target benchmarks -j$(JOBS)
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZV_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target fuzzers -j$(JOBS)
	./scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
