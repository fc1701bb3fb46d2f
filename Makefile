# The two ways in: `make run` and `make test`. Both install what is missing
# first (scripts/install-deps), so they work on a fresh Debian 12 machine.

BUILD_RELEASE := build/release
BUILD_TEST    := build/asan
JOBS          ?= $(shell nproc)

CMAKE_COMMON := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

# Headless machines get a virtual X server (the GUI renderer needs GLX);
# sound goes to SDL's dummy driver.
ifeq ($(strip $(DISPLAY)),)
  XRUN := xvfb-run -a -s "-screen 0 1280x1024x24"
else
  XRUN :=
endif

.PHONY: run test test-long deps build-release build-test build-bench clean

deps:
	bash scripts/install-deps

build-release: deps
	cmake -S . -B $(BUILD_RELEASE) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release \
	  -DTESSALINE_TESTS=OFF -DTESSALINE_BENCH=OFF
	cmake --build $(BUILD_RELEASE) -j $(JOBS)

# The test build holds what `make test` runs and no more: no benchmarks.
build-test: deps
	cmake -S . -B $(BUILD_TEST) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DTESSALINE_SANITIZE=ON \
	  -DTESSALINE_BENCH=OFF
	cmake --build $(BUILD_TEST) -j $(JOBS)

# The benchmarks, in a Release build of their own (run by hand, see the
# README).
BUILD_BENCH := build/bench
build-bench: deps
	cmake -S . -B $(BUILD_BENCH) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DTESSALINE_TESTS=OFF
	cmake --build $(BUILD_BENCH) -j $(JOBS)

run: build-release
	$(XRUN) ./scripts/run-game $(BUILD_RELEASE)

# Test processes get libasan first and then a library whose dlclose does
# nothing, so that Mesa's driver libraries stay loaded until the leak checker
# has run (their teardown allocations cannot be named by a suppression).
# The sanitizer does not follow __tls_get_addr: with Debian's glibc it
# records a bogus dynamic-TLS block for Mesa's threads now and then, and the
# leak checker's tracer then crashes at exit.
ASAN_RUNTIME := $(shell $(CXX) -print-file-name=libasan.so)
KEEP_LOADED  := $(CURDIR)/$(BUILD_TEST)/platform/libkeep_libraries_loaded.so

TEST_ENV := SDL_AUDIODRIVER=dummy \
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	$(XRUN) env LD_PRELOAD="$(ASAN_RUNTIME):$(KEEP_LOADED)"

# Every test but the long forms of the lap validators and the race soak
# (label "long"), which `make test-long` runs.
test: build-test
	$(TEST_ENV) ctest --test-dir $(BUILD_TEST) --output-on-failure -j $(JOBS) -LE long

test-long: build-test
	$(TEST_ENV) ctest --test-dir $(BUILD_TEST) --output-on-failure -j $(JOBS) -L long

clean:
	rm -rf build
