# Quick start: `make demo` builds and starts the module on a demo installation;
# `make test` builds and runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
DEMO ?= $(BUILD)/demo

.PHONY: all deps configure build test demo bench clean

all: build

deps:
	@scripts/ensure-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/run-demo $(BUILD) $(DEMO)

bench: build
	@scripts/run-bench $(BUILD)

clean:
	rm -rf $(BUILD)
