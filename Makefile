# The two set-up commands: `make run` and `make test`. Each installs what it
# needs (Debian packages), configures and builds.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
JOBS       ?= 2
CMAKE_ARGS ?=
# The batch benchmark compares with NumPy, which Debian installs for its own Python.
BENCH_PYTHON ?= $(shell test -x /usr/bin/python3 && echo /usr/bin/python3 || echo python3)

.PHONY: run test build deps package bench fuzz sanitize clean

deps:
	@scripts/install-deps.sh build

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)

test:
	@scripts/install-deps.sh build test
	$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# A Debian package of both programs, in $(BUILD)/varno_VERSION_ARCH.deb.
package:
	@scripts/install-deps.sh build package
	$(MAKE) --no-print-directory build
	cd $(BUILD) && cpack -G DEB

sanitize:
	@scripts/install-deps.sh build test
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNO_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Google Benchmark against LAPACK and Eigen, and the desktop start-up probe.
# Repetitions run in random order, so that a slow spell of a shared machine
# spreads over all benchmarks instead of falling on one.
bench:
	@scripts/install-deps.sh build bench
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNO_TESTS=OFF -DVARNO_BENCH=ON -DVARNO_GUI=ON $(CMAKE_ARGS)
	cmake --build build-bench -j $(JOBS)
	build-bench/bin/varno-bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true \
	  --benchmark_report_aggregates_only=true --benchmark_format=json 2>/dev/null | python3 bench/table.py
	python3 bench/startup.py build-bench/bin/varno-startup-probe
	$(BENCH_PYTHON) bench/stream.py build-bench/bin/varno-cli build-bench
	$(BENCH_PYTHON) bench/large.py build-bench/bin/varno-cli build-bench

# libFuzzer with ASan and UBSan; FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps.sh build fuzz
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNO_GUI=OFF \
	  -DVARNO_TESTS=OFF -DVARNO_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	@scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-bench build-fuzz
