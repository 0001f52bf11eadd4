# Quick start (Debian 12, as root):  make run   |   make test
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS       ?= $(shell nproc)

.PHONY: all deps build fuzz-build run test test-asan monitor-demo bench fuzz soak clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "make run: no display found (DISPLAY is not set); try: xvfb-run -a make run"; exit 1; fi
	cd examples/demo && exec ../../$(BUILD)/wirelab/wirelab

fuzz-build: deps
	cmake -S fuzz -B $(BUILD_FUZZ) -G "$(GENERATOR)" -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

test: build fuzz-build
	@bash scripts/run-tests.sh $(BUILD)
	@FUZZ_BUILD=$(CURDIR)/$(BUILD_FUZZ) bash scripts/run-fuzz.sh 5

fuzz: fuzz-build
	@FUZZ_BUILD=$(CURDIR)/$(BUILD_FUZZ) bash scripts/run-fuzz.sh 60

test-asan: deps
	cmake -S . -B $(BUILD_ASAN) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DWIRELAB_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  bash scripts/run-tests.sh $(BUILD_ASAN)

# The long fault and integrity variants (10,000 connect cycles, 100,000
# datagrams, 100 MB echoed), one test at a time.
soak: build
	@WIRELAB_SOAK=1 bash scripts/run-tests.sh $(BUILD) -L faults -j 1

monitor-demo: build
	@bash scripts/monitor-demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)

BUILD_BENCH ?= build-bench

bench: deps
	cmake -S . -B $(BUILD_BENCH) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_BENCH) -j $(JOBS) --target wirelab-bench bench-loadgen bench-epoll-server
	@bash bench/run-bench.sh $(BUILD_BENCH)
