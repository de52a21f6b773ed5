# The two set-up commands: `make run` and `make test`. Each installs what it
# needs (Debian packages), configures and builds.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
JOBS       ?= 2
CMAKE_ARGS ?=

.PHONY: run test build deps bench fuzz sanitize screenshots clean

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

sanitize:
	@scripts/install-deps.sh build test
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNO_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-bench build-fuzz
