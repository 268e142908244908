# The two commands a newcomer needs are `make demo` and `make test`; everything else is here
# for developers.
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
BUILD_TYPE   ?= RelWithDebInfo
JOBS         ?= $(shell nproc)
GUI          ?= ON
CMAKE_GEN    := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps configure build test demo test-sanitize bench clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DLOGVANE_GUI=$(GUI)

configure: $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

demo: deps
	$(MAKE) build
	$(BUILD_DIR)/bin/logvane -help

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DLOGVANE_SANITIZE=ON \
	  -DLOGVANE_BENCH=OFF -DLOGVANE_GUI=$(GUI)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 1200

bench: deps
	$(MAKE) build
	cmake --build $(BUILD_DIR) --target logvane-benchmarks -j $(JOBS)
	@set -e; for b in $(BUILD_DIR)/bench/bench-*; do \
	  case $$b in *log_generator) continue;; esac; echo "== $$b"; "$$b"; done

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
