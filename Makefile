# Front door over CMake. `make test` installs what is missing, builds the dev preset and runs every test.
.PHONY: all setup configure build test unit fuzz release clean

PRESET ?= dev

all: build

setup:
	@scripts/setup.sh

configure: setup
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# Every test: the unit and end-to-end tests under the dev preset's sanitizers, then each fuzz target briefly.
test: unit fuzz

unit: build
	@ctest --preset dev

fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@scripts/run-fuzzers.sh

release:
	@$(MAKE) build PRESET=release

clean:
	@rm -rf build build-release build-fuzz
