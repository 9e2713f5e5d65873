# Tidewake: build, test and demo entry points. `make test` is what CI runs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DTIDEWAKE_WERROR=ON
endif

.PHONY: all deps build build-sanitize test test-unit test-sanitize demo clean windows test-windows

all: build

deps:
	@scripts/deps.sh

build:
	cmake --preset default $(CMAKE_FLAGS) >/dev/null
	cmake --build build/default -j$(JOBS)

build-sanitize:
	cmake --preset sanitize $(CMAKE_FLAGS) >/dev/null
	cmake --build build/sanitize -j$(JOBS)

# Every test: unit and lab tests in the normal build, unit tests again under ASan+UBSan.
test: deps build build-sanitize test-windows
	cd build/default && ctest --output-on-failure -j1
	cd build/sanitize && ctest --output-on-failure -LE lab -j$(JOBS)

test-unit: build
	cd build/default && ctest --output-on-failure -LE lab -j$(JOBS)

# The Windows programs, cross-built with mingw-w64 (build/windows).
windows:
	cmake --preset windows $(CMAKE_FLAGS) >/dev/null
	cmake --build build/windows -j$(JOBS) --target kestrava pilvorne

# The unit tests and the Windows tests, cross-built and run under Wine (headless).
test-windows: deps
	CMAKE_FLAGS="$(CMAKE_FLAGS)" JOBS=$(JOBS) scripts/windows-tests.sh build/windows

demo: build
	@scripts/demo.sh build/default

clean:
	rm -rf build
