# Thin wrapper over the CMake presets.
JOBS ?= $(shell nproc)

.PHONY: run test build deps bench format clean

run: deps
	cmake --preset default >/dev/null
	cmake --build --preset default --target norvax norvaxctl norvax-connect -j $(JOBS)
	scripts/run-norvax build/default/norvax

test: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)
	ctest --preset default -j $(JOBS)
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	for b in build/release/bench/*_bench; do $$b; done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

deps:
	@scripts/install-deps

clean:
	rm -rf build
