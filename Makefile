# Quick start: `make demo` builds and starts the module on a demo installation;
# `make test` builds and runs every test, with a throw-away PostgreSQL server for the tests
# of the record manager's server back end (scripts/test-postgres-cluster).
# `make sanitize` builds a second tree with the address and undefined-behaviour sanitizers
# (clang, libFuzzer's coverage hooks in every object) and runs every test in it; `make fuzz`
# builds the fuzz targets in that tree and runs each for FUZZ_SECONDS.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
DEMO ?= $(BUILD)/demo
SAN_BUILD ?= $(BUILD)-asan
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=

.PHONY: all deps configure build test demo bench clean sanitize fuzz san-configure

all: build

deps:
	@scripts/ensure-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@scripts/test-postgres-cluster run -- sh -c 'cd $(BUILD) && ctest --output-on-failure -j $(JOBS)'

demo: build
	@scripts/run-demo $(BUILD) $(DEMO)

bench: build
	@scripts/run-bench $(BUILD)

san-configure: deps
	@CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) -DKIV_SANITIZE=ON -DKIV_FUZZ=ON \
	  $(CMAKE_FLAGS) >/dev/null

sanitize: san-configure
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	@scripts/test-postgres-cluster run -- sh -c 'cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)'

fuzz: san-configure
	@cmake --build $(SAN_BUILD) -j $(JOBS) --target fuzz_targets
	@fuzz/run-fuzz $(SAN_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
