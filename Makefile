# Tidewake: build, test and demo entry points. `make test` is what CI runs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DTIDEWAKE_WERROR=ON
endif

.PHONY: all deps build build-sanitize test test-unit test-sanitize demo clean

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
test: deps build build-sanitize
	cd build/default && ctest --output-on-failure -j1
	cd build/sanitize && ctest --output-on-failure -LE lab -j$(JOBS)

test-unit: build
	cd build/default && ctest --output-on-failure -LE lab -j$(JOBS)

demo: build
	@scripts/demo.sh build/default

clean:
	rm -rf build
