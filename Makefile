# Tidewake: build, test and demo entry points. `make test` is what CI runs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DTIDEWAKE_WERROR=ON
endif

PREFIX ?= /usr/local

.PHONY: all deps build build-tests build-sanitize test test-unit test-sanitize demo install uninstall package clean \
	windows test-windows fuzz bench

all: build

deps:
	@scripts/deps.sh

# The two programs (and their man pages) only: no tests, no GoogleTest.
build:
	cmake --preset default -DBUILD_TESTING=OFF $(CMAKE_FLAGS)
	cmake --build build/default -j$(JOBS)

# The same build directory with the unit and lab tests.
build-tests:
	cmake --preset default -DBUILD_TESTING=ON -DTIDEWAKE_WINDOWS_BUILD_DIR=$(CURDIR)/build/windows $(CMAKE_FLAGS)
	cmake --build build/default -j$(JOBS)

build-sanitize:
	cmake --preset sanitize $(CMAKE_FLAGS)
	cmake --build build/sanitize -j$(JOBS)

# Every test: unit and lab tests in the normal build, unit tests again under ASan+UBSan.
test: deps build-tests build-sanitize test-windows
	cd build/default && ctest --output-on-failure -j1
	cd build/sanitize && ctest --output-on-failure -LE lab -j$(JOBS)

test-unit: build-tests
	cd build/default && ctest --output-on-failure -LE lab -j$(JOBS)

# The Windows programs, cross-built with mingw-w64 (build/windows).
windows:
	cmake --preset windows $(CMAKE_FLAGS)
	cmake --build build/windows -j$(JOBS) --target kestrava pilvorne

# The unit tests and the Windows tests, cross-built and run under Wine (headless).
test-windows: deps
	CMAKE_FLAGS="$(CMAKE_FLAGS)" JOBS=$(JOBS) scripts/windows-tests.sh build/windows

# The first command on a fresh machine: root is checked before anything is built, the
# packages the programs and the lab need are installed, then the demo checks what arrived.
# It builds in build/demo, never in the folder of `make build`, and gives what it made back to
# the tree's owner (the user who ran sudo), so a later `make build` as that user still works.
demo:
	@if [ "$$(id -u)" -ne 0 ]; then \
	  echo "demo: the virtual LAN is made of network namespaces, which need root: run it as root (make demo), or with sudo (sudo make demo)" >&2; \
	  exit 1; \
	fi
	@scripts/deps.sh programs
	@mkdir -p build && chown --reference=. build
	@cmake --preset demo $(CMAKE_FLAGS); status=$$?; chown -R --reference=. build/demo 2>/dev/null; exit $$status
	@cmake --build build/demo -j$(JOBS); status=$$?; chown -R --reference=. build/demo; exit $$status
	@scripts/demo.sh build/demo

# Programs, man pages, desktop entry, icons and systemd units under PREFIX (and DESTDIR).
install: build
	DESTDIR="$(DESTDIR)" cmake --install build/default --prefix "$(PREFIX)"

# Every file the last `make install` put there (its list is build/default/install_manifest.txt),
# under the same DESTDIR.
uninstall:
	@DESTDIR="$(DESTDIR)" scripts/uninstall.sh build/default

# build/packages/: the Debian package of the Linux build, the zip of the Windows build.
package: build windows
	cd build/default && cpack -G DEB -B "$(CURDIR)/build/packages"
	cd build/windows && cpack -G ZIP -B "$(CURDIR)/build/packages"
	@ls -l build/packages/*.deb build/packages/*.zip

# The libFuzzer targets (clang, build/fuzz), each run for FUZZ_TIME seconds from its seed
# corpus in fuzz/corpus/; what the run learns stays in build/fuzz/corpus/.
FUZZ_TIME ?= 20
FUZZ_TARGETS := address_fuzz command_line_fuzz host_file_fuzz listener_options_fuzz version_text_fuzz datagram_entry_fuzz \
  icmp_reply_fuzz arp_table_fuzz log_record_fuzz wake_inspect_fuzz relay_request_fuzz
fuzz:
	cmake --preset fuzz $(CMAKE_FLAGS) >/dev/null
	cmake --build build/fuzz --target fuzz_targets -j$(JOBS)
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t build/fuzz/artifacts; \
	  echo "fuzz: $$t for $(FUZZ_TIME)s"; \
	  build/fuzz/fuzz/$$t -max_total_time=$(FUZZ_TIME) -runs=50000000 -max_len=4096 -timeout=10 \
	    -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/$$t- \
	    build/fuzz/corpus/$$t fuzz/corpus/$$t >build/fuzz/$$t.log 2>&1 \
	    || { tail -n 40 build/fuzz/$$t.log; echo "fuzz: $$t failed, see build/fuzz/artifacts/"; exit 1; }; \
	  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' build/fuzz/$$t.log; \
	done

# The benchmarks of the hot paths, built optimised in build/bench and run, then the whole
# programs compared with floor programs and Debian's peers on the lab LAN (bench/compare.sh,
# as root; BENCH_ROUNDS rounds; BEFORE=another build's folder adds its programs). Never part
# of `test`.
BENCH_ROUNDS ?= 15
bench:
	cmake --preset bench $(CMAKE_FLAGS) >/dev/null
	cmake --build build/bench --target tidewake_bench compare_programs -j$(JOBS)
	build/bench/bench/tidewake_bench $(BENCH_FLAGS)
	BEFORE="$(BEFORE)" bench/compare.sh build/bench $(BENCH_ROUNDS) || [ $$? -eq 77 ]  # 77: not root, said why

clean:
	rm -rf build
