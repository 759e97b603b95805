# Entry points for a fresh machine: `make run` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test package bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	@bash scripts/run-editor.sh build/default

test: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	ctest --preset default -j $(JOBS)
	ctest --preset asan -j $(JOBS)

package: build
	@cd build/default && cpack -G DEB
	@ls build/default/*.deb

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j $(JOBS)
	@build/bench/bench/ornamo-bench

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@mkdir -p build/fuzz/corpus
	build/fuzz/fuzz/hierarchy-fuzzer -max_total_time=600 -dict=fuzz/hrh.dict build/fuzz/corpus fuzz/corpus

clean:
	rm -rf build
