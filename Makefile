# User-facing targets: run, test, sanitize, bench, fuzz. Everything builds in Release into build/.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all run test sanitize bench fuzz example bootstrap configure build clean format

all: build

bootstrap:
	@scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DTICKTRACE_WERROR=ON $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/ticktrace

# Tests run without a display (Qt's offscreen platform) and against a private sound server
# that the wrapper starts and always stops again.
test: build
	scripts/with-test-sound-server.sh \
	  ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The whole test suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer into
# its own folder (no benchmarks there: their timings would mean nothing).
SANITIZE_DIR ?= build-sanitize
sanitize: bootstrap
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTICKTRACE_SANITIZE=ON \
	  -DTICKTRACE_BENCH=OFF -DTICKTRACE_WERROR=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/leak-suppressions.txt:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1 \
	  scripts/with-test-sound-server.sh \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/ticktrace_bench $(BENCH_ARGS)

# ticktrace-convert and a small WAV file to try it on (see "Command line" in the README).
example: build
	@scripts/make-example-wav.sh $(BUILD_DIR)/example.wav

fuzz: bootstrap
	@scripts/fuzz.sh $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) build-fuzz
