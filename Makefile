# Thin wrapper over the CMake presets.
JOBS ?= $(shell nproc)

FUZZ_TARGETS := ini_file settings scrambler connection_log dial_profile proxy proxy_files \
  registry_store help_file sim_phonebook
FUZZ_SECONDS ?= 60
FUZZ_TEST_SECONDS ?= 5
FUZZ_FLAGS ?=
# The files the targets write go to memory when there is a memory file system.
FUZZ_TMPDIR ?= $(or $(wildcard /dev/shm),/tmp)

# Kill tests: $(1) random SIGKILLs of a settings save and of a log move each.
CRASHTEST_KILLS ?= 1000
CRASHTEST_TEST_KILLS ?= 100
define crashtest_run
	cmake --build --preset default --target crashtest_settings crashtest_log -j $(JOBS)
	build/default/tests/crashtest_settings $(1)
	build/default/tests/crashtest_log $(1)
endef

# Runs every fuzz target for $(1) seconds, one after another, on a scratch copy of its seed
# corpus (fuzz/corpus stays as it is); stops at the first crash and shows its report.
define fuzz_run
	@for t in $(FUZZ_TARGETS); do \
	  rm -rf build/fuzz/runs/$$t && mkdir -p build/fuzz/runs/$$t build/fuzz/crashes && \
	  cp fuzz/corpus/$$t/* build/fuzz/runs/$$t/ && \
	  TMPDIR=$(FUZZ_TMPDIR) build/fuzz/fuzz/$${t}_fuzz -max_total_time=$(1) -max_len=4096 \
	    -timeout=10 -print_final_stats=1 -artifact_prefix=build/fuzz/crashes/$$t- $(FUZZ_FLAGS) \
	    build/fuzz/runs/$$t >build/fuzz/runs/$$t.log 2>&1 || \
	    { tail -n 60 build/fuzz/runs/$$t.log; echo "fuzz: $$t crashed, see build/fuzz/crashes"; exit 1; }; \
	  echo "fuzz: $$t $$(grep -h -m1 '^Done' build/fuzz/runs/$$t.log)"; \
	done
endef

# make install: under PREFIX, below DESTDIR when given (a staging folder for packagers).
PREFIX ?= /usr/local

.PHONY: run test build deps bench fuzz crashtest package install format clean

run: deps
	cmake --preset default >/dev/null
	cmake --build --preset default --target norvax norvaxctl norvax-connect -j $(JOBS)
	scripts/run-norvax build/default/norvax

test: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)
	ctest --preset default -j $(JOBS)
	$(call crashtest_run,$(CRASHTEST_TEST_KILLS))
	JOBS=$(JOBS) scripts/check-package
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	$(call fuzz_run,$(FUZZ_TEST_SECONDS))

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	for b in build/release/bench/*_bench; do $$b; done

crashtest: deps
	cmake --preset default >/dev/null
	$(call crashtest_run,$(CRASHTEST_KILLS))

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	$(call fuzz_run,$(FUZZ_SECONDS))

# The Debian package build/package/norvax_<version>_<architecture>.deb.
package: deps
	cmake --preset package >/dev/null
	cmake --build --preset package --target package -j $(JOBS)

# The programs, the help file, the menu entry and icons, the man pages and the completions.
install:
	cmake --preset package -DCMAKE_INSTALL_PREFIX="$(PREFIX)" >/dev/null
	cmake --build --preset package -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install build/package --strip

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

deps:
	@scripts/install-deps

clean:
	rm -rf build
