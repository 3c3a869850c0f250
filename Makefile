# Front door over CMake. `make test` installs what is missing, builds the dev preset and runs every test.
.PHONY: all setup configure build test release clean

PRESET ?= dev

all: build

setup:
	@scripts/setup.sh

configure: setup
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

test: build
	@ctest --preset dev

release:
	@$(MAKE) build PRESET=release

clean:
	@rm -rf build build-release build-fuzz
