# Quick start (Debian 12, as root):  make run   |   make test
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
JOBS       ?= $(shell nproc)

.PHONY: all deps build fuzz-build run test test-asan monitor-demo bench fuzz soak clean \
        package-deps package package-check install screenshots

all: build

deps:
	@bash scripts/install-deps.sh

# WERROR=ON treats compiler warnings as errors (CI builds so).
WERROR     ?= OFF

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWIRELAB_WERROR=$(WERROR)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Without a display the demo runs headless, its lines on the terminal
# (Ctrl+C ends it).
run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "make run: no display found; running the demo headless (Ctrl+C ends it)"; \
	  cd examples/demo && exec ../../$(BUILD)/wirelab/wirelab --headless; fi
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
	cmake -S . -B $(BUILD_ASAN) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DWIRELAB_SANITIZE=ON -DWIRELAB_WERROR=$(WERROR)
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
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_PACKAGE)

BUILD_BENCH ?= build-bench

bench: deps
	cmake -S . -B $(BUILD_BENCH) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_BENCH) -j $(JOBS) --target wirelab wirelab-bench bench-loadgen bench-epoll-server bench-epoll-tls-server
	@bash bench/run-bench.sh $(BUILD_BENCH)

# What is installed: the programs, the simulated monitor and the compressed
# man pages and changelog (packaging/CMakeLists.txt has the install rules).
INSTALL_TARGETS := wirelab monitorcfg monitor-sim packaging-files
BUILD_PACKAGE   ?= build-package

# make install [PREFIX=/usr/local] [DESTDIR=...]: CMake's install rules from
# the build in $(BUILD); PREFIX, when given, replaces CMAKE_INSTALL_PREFIX.
install: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target $(INSTALL_TARGETS)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) $(if $(PREFIX),--prefix "$(PREFIX)")

package-deps:
	@bash scripts/install-deps.sh --packaging

# The .deb, from a Release build of its own (prefix /usr) that builds only
# what the package holds; cpack strips the binaries.
package: deps package-deps
	cmake -S . -B $(BUILD_PACKAGE) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
	cmake --build $(BUILD_PACKAGE) -j $(JOBS) --target $(INSTALL_TARGETS)
	rm -f $(BUILD_PACKAGE)/wirelab_*.deb
	cd $(BUILD_PACKAGE) && cpack -G DEB
	@ls -l $(BUILD_PACKAGE)/wirelab_*.deb

# Checks the .deb and installs it into a fresh Debian 12 root (needs the
# network for debootstrap and the dependencies).
package-check: package
	@bash scripts/check-package.sh $(BUILD_PACKAGE)

# The README's and the metainfo's screenshots, in Chinese and in English.
screenshots: deps $(BUILD)/CMakeCache.txt
	@bash scripts/install-deps.sh --screenshots
	cmake --build $(BUILD) -j $(JOBS) --target wirelab monitorcfg monitor-sim wirelab-screenshot
	@bash scripts/screenshots.sh $(BUILD)
