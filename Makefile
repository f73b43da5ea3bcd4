# Varnel: build, test and demonstrate the Windows binaries under Wine.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all deps configure build test demo bench screenshots clean

all: build

deps:
	@bash tools/install-deps.sh

# The build tree is made for the architecture the bench can run (see
# tools/bench-arch.sh), and made again when that changes.
configure: deps
	@arch=$$(bash tools/bench-arch.sh); \
	if [ ! -f $(BUILD)/build.ninja ] || ! grep -q "toolchain-$$arch-mingw" $(BUILD)/CMakeCache.txt; then \
	  rm -f $(BUILD)/CMakeCache.txt; \
	  echo "configure: $$arch Windows binaries"; \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$$arch-mingw.cmake; \
	fi

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: build
	@cmake --build $(BUILD) --target demo

bench: build
	@cmake --build $(BUILD) --target bench

screenshots: build
	@cmake --build $(BUILD) --target screenshots

clean:
	@if [ -x $(BUILD)/wine-run ]; then $(BUILD)/prefix.sh cleanup || true; fi
	rm -rf $(BUILD)
