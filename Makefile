# User-facing targets: run, test, bench, fuzz. Everything builds in Release into build/.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all run test bench fuzz example bootstrap configure build clean format

all: build

bootstrap:
	@scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/ticktrace

# Tests run without a display (Qt's offscreen platform) and against a private sound server
# that the wrapper starts and always stops again.
test: build
	scripts/with-test-sound-server.sh \
	  ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

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
	rm -rf $(BUILD_DIR) build-fuzz
