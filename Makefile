# Front door: `make run` and `make test` set up, build and run.
BUILD ?= build
JOBS ?= $(shell nproc)
RUN = $(BUILD)/winerun.sh

.PHONY: all setup configure build test run screenshots bench fuzz fuzz-replay dist test-dist dist-screenshots clean

all: build

setup:
	@bash scripts/setup.sh $(BUILD)

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)
	@cmake -S src/quorvane -B $(BUILD)/x86 -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release -DMOSSGRAVE_WINERUN=$(abspath $(BUILD))/winerun.sh >/dev/null
	@cmake --build $(BUILD)/x86 -j $(JOBS) --target Quorvane TestBase quorvane_tests

test: build
	@cd $(BUILD) && ctest --output-on-failure
	@bash scripts/fuzz.sh replay
	@$(MAKE) --no-print-directory test-dist

# The setup program, $(BUILD)/dist/Halvenor-setup-<version>.exe. The filter
# library and the filter lists are taken from these paths when they are there.
QUORVANE_X64 ?= $(BUILD)/Quorvane.dll
QUORVANE_X86 ?= $(BUILD)/x86/Quorvane.dll
FILTER_LISTS ?= src/filter/lists
dist: build
	@cmake --build $(BUILD) -j $(JOBS) --target dist_tests
	@bash dist/make-dist.sh $(BUILD) "$(QUORVANE_X64)" "$(QUORVANE_X86)" "$(FILTER_LISTS)"

# Install and uninstall under Wine in a fresh prefix, and the help file.
test-dist: dist
	@bash dist/test-dist.sh $(BUILD)

dist-screenshots: dist
	@bash dist/screenshots.sh $(BUILD)

# FUZZ_INPUTS: inputs in all, shared among the targets.
FUZZ_INPUTS ?= 10000000
fuzz: setup
	@bash scripts/fuzz.sh run $(FUZZ_INPUTS)

fuzz-replay: setup
	@bash scripts/fuzz.sh replay

run: build
	@bash scripts/run.sh $(BUILD)

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

bench: build
	@$(RUN) $(BUILD)/mossgrave_bench.exe
	@$(RUN) $(BUILD)/filter_bench.exe
	@$(RUN) $(BUILD)/quorvane_bench.exe

clean:
	rm -rf $(BUILD)
