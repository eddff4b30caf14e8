# Front door: `make run` and `make test` set up, build and run.
BUILD ?= build
JOBS ?= $(shell nproc)
RUN = $(BUILD)/winerun.sh

.PHONY: all setup configure build test run screenshots bench clean

all: build

setup:
	@bash scripts/setup.sh $(BUILD)

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure

run: build
	@bash scripts/run.sh $(BUILD)

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

bench: build
	@$(RUN) $(BUILD)/mossgrave_bench.exe

clean:
	rm -rf $(BUILD)
