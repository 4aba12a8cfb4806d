# Front door: every target installs what it needs first.
#   make run      build the Windows program and start it under Wine
#   make test     build everything and run every test
#   make render   render the default wallpaper to build/pallodex.bmp (no display needed)
#   make build    build the native tools and the Windows program
#   make bench    benchmarks
#   make bench-win32  the 32-bit renderer, the image surface and the program's response under Wine
#   make fuzz     run each fuzz target for FUZZ_SECONDS (default 60) seconds
#   make deps     install missing Debian packages

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
NATIVE := build/native
CMAKE_BUILD = cmake --build --preset $(1) -j $(JOBS)

.PHONY: deps deps-wine deps-fuzz build build-native build-win32 build-win64 build-runnable build-sanitize build-fuzz test fuzz render run clean

deps:
	scripts/deps.sh build

deps-wine:
	scripts/deps.sh build wine

deps-fuzz:
	scripts/deps.sh build fuzz

build: build-native build-win32

build-native: deps
	cmake --preset native >/dev/null
	$(call CMAKE_BUILD,native)

build-win32: deps
	cmake --preset win32 >/dev/null
	$(call CMAKE_BUILD,win32)

# The 64-bit build of the program serves machines whose Wine runs only 64-bit
# programs (scripts/env.sh, pallodex_wine_bits): the tests and `make run` use
# it there in place of the 32-bit one.
build-win64: deps-wine
	cmake --preset win64 >/dev/null
	$(call CMAKE_BUILD,win64)

# Builds the Windows program that this machine's Wine can run, if it is not
# the 32-bit one that `build` makes anyway.
WINE_BITS = $(shell bash -c '. scripts/env.sh && pallodex_wine_bits')
build-runnable: deps-wine
	@if [ "$(WINE_BITS)" = 64 ]; then $(MAKE) --no-print-directory build-win64; fi

build-sanitize: deps
	cmake --preset sanitize >/dev/null
	$(call CMAKE_BUILD,sanitize)

build-fuzz: deps-fuzz
	cmake --preset fuzz >/dev/null
	$(call CMAKE_BUILD,fuzz)

test: build build-sanitize build-fuzz deps-wine build-runnable
	ctest --preset native -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --preset sanitize -j $(JOBS)
	ctest --preset fuzz -j $(JOBS)

# Each target runs for FUZZ_SECONDS on the seed corpus and what earlier runs
# found (kept in build/fuzz/tests/fuzz/corpus/); a failing input is saved in
# build/fuzz/ as crash-* and the run stops with an error.
FUZZ_SECONDS ?= 60
FUZZ_DIR := build/fuzz/tests/fuzz
fuzz: build-fuzz
	@for t in settings render; do \
	  echo "== $${t}_fuzz for $(FUZZ_SECONDS) s"; \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t; \
	  $(FUZZ_DIR)/$${t}_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	    -artifact_prefix=build/fuzz/ $(FUZZ_DIR)/corpus/$$t tests/fuzz/corpus/$$t >build/fuzz/$$t.log 2>&1; \
	  rc=$$?; grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::' build/fuzz/$$t.log; \
	  if [ $$rc -ne 0 ]; then tail -n 40 build/fuzz/$$t.log; exit 1; fi; \
	done

run: deps-wine build-win32 build-runnable
	scripts/run-pallodex.sh

render: build-native
	$(NATIVE)/pallodex-render -o build/pallodex.bmp
	@echo "wrote build/pallodex.bmp"

.PHONY: bench bench-win32
bench: build-native
	$(NATIVE)/render-bench

bench-win32: deps-wine build-win32 build-native build-runnable
	scripts/bench-win32.sh

clean:
	rm -rf build

# The showcase: every preset tiled 2x2 into docs/gallery/ with the README's
# gallery section; the download archive build/dist/pallodex-VERSION.zip.
.PHONY: gallery dist
gallery: build-native
	scripts/gallery.sh $(NATIVE)/pallodex-render

dist: build-win32
	scripts/dist.sh build/dist build/win32/pallodex.exe
