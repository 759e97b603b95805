# Entry points for a fresh machine: `make run` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test format-check package bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	@bash scripts/run-editor.sh build/default

test: deps format-check
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	ctest --preset default -j $(JOBS)
	ctest --preset asan -j $(JOBS)

package: build
	@cd build/default && cpack -G DEB
	@ls build/default/*.deb

# The committed .clang-format holds for every C++ file.
format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

bench:
	@bash scripts/install-deps.sh bench
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j $(JOBS)
	@build/bench/bench/ornamo-bench
	@build/bench/bench/work-bench
	@build/bench/bench/rules-bench
	@build/bench/bench/png-bench
	@build/bench/bench/window-bench data
	@build/bench/bench/workshop-bench data
	@bash bench/big-mosaics.sh build/bench

# Each fuzzer runs for FUZZ_SECONDS, keeping what it finds in its corpus under build/fuzz.
FUZZ_SECONDS ?= 600
fuzz:
	@bash scripts/install-deps.sh fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target hierarchy-fuzzer tile-fuzzer
	@mkdir -p build/fuzz/corpus build/fuzz/tile-corpus
	build/fuzz/fuzz/hierarchy-fuzzer -max_total_time=$(FUZZ_SECONDS) -dict=fuzz/hrh.dict build/fuzz/corpus fuzz/corpus
	build/fuzz/fuzz/tile-fuzzer -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=4096 build/fuzz/tile-corpus tests/data/bmpsuite

clean:
	rm -rf build
