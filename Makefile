# Front door: every target installs what it needs first.
#   make run      build the Windows program and start it under Wine
#   make test     build everything and run every test
#   make render   render the default wallpaper to build/pallodex.bmp (no display needed)
#   make build    build the native tools and the Windows program
#   make bench    benchmarks
#   make bench-win32  SetPixel against SetDIBits on the image surface, under Wine
#   make deps     install missing Debian packages

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
NATIVE := build/native
CMAKE_BUILD = cmake --build --preset $(1) -j $(JOBS)

.PHONY: deps deps-wine build build-native build-win32 build-sanitize test render run clean

deps:
	scripts/deps.sh build

deps-wine:
	scripts/deps.sh build wine

build: build-native build-win32

build-native: deps
	cmake --preset native >/dev/null
	$(call CMAKE_BUILD,native)

build-win32: deps
	cmake --preset win32 >/dev/null
	$(call CMAKE_BUILD,win32)

build-sanitize: deps
	cmake --preset sanitize >/dev/null
	$(call CMAKE_BUILD,sanitize)

test: build build-sanitize deps-wine
	ctest --preset native -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --preset sanitize -j $(JOBS)

run: deps-wine build-win32
	scripts/run-pallodex.sh

render: build-native
	$(NATIVE)/pallodex-render -o build/pallodex.bmp
	@echo "wrote build/pallodex.bmp"

.PHONY: bench bench-win32
bench: build-native
	$(NATIVE)/render-bench

bench-win32: deps-wine build-win32
	scripts/bench-win32.sh

clean:
	rm -rf build
