# Front door over CMake. `make test` installs what is missing, builds the dev preset and runs every test.
.PHONY: all setup configure build sample test unit fuzz release clean

PRESET ?= dev

all: build

setup:
	@scripts/setup.sh

configure: setup
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# Prints the bundled sample job through the driver to out/sample.pdf (answering the Save As dialog with that path,
# and yes to replacing an earlier one), built with the optimised preset only: the sanitizers are the tests' business.
# The state root is KQ_ROOT, else the XDG default.
sample: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target kqprint
	@mkdir -p out
	@build-release/bin/kqprint examples/sample.json -o out/sample.pdf --yes
	@echo "make sample: see pdfinfo out/sample.pdf"

# The benchmark table: kqprint against cairo's PDF surface, whole processes, on the optimised build. Choose with
# BENCH, for example `make bench BENCH="--jobs text-system,transparent --pages 1000 --runs 3"`.
.PHONY: bench
bench: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target kqbench
	@build-release/bin/kqbench $(BENCH)

# Every test: the unit and end-to-end tests under the dev preset's sanitizers, then each fuzz target briefly.
test: unit fuzz

unit: build
	@ctest --preset dev

fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --target fuzzers
	@scripts/run-fuzzers.sh

release:
	@$(MAKE) build PRESET=release

clean:
	@rm -rf build build-release build-fuzz out
