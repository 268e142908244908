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

# The example project analysed in batch mode: a copy of it whose log path points at the
# generated log beside the program, with a settings folder of its own so that the demo neither
# reads nor changes the user's settings.
DEMO_DIR := $(BUILD_DIR)/demo
demo: deps
	$(MAKE) build
	@mkdir -p $(DEMO_DIR)
	$(BUILD_DIR)/tools/make-example project "$(BUILD_DIR)/bin/example project.bvp" \
	  "$(abspath $(BUILD_DIR)/bin/log.txt)" $(DEMO_DIR)/example.bvp
	XDG_CONFIG_HOME="$(abspath $(DEMO_DIR)/config)" \
	  $(BUILD_DIR)/bin/logvane $(DEMO_DIR)/example.bvp $(DEMO_DIR)/example.bvr
	@echo "The report of the example project is $(abspath $(DEMO_DIR)/example.bvr)"

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DLOGVANE_SANITIZE=ON \
	  -DLOGVANE_BENCH=OFF -DLOGVANE_GUI=$(GUI)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(abspath tests/lsan.supp) \
	  ctest --output-on-failure -j $(JOBS) --timeout 1200

bench: deps
	$(MAKE) build
	cmake --build $(BUILD_DIR) --target logvane-benchmarks -j $(JOBS)
	@set -e; for b in $(BUILD_DIR)/bench/bench-*; do \
	  case $$b in *log_generator) continue;; esac; echo "== $$b"; "$$b"; done
	@echo "== whole runs against the open-source analyzers"
	BUILD_DIR=$(BUILD_DIR) tools/bench-peers.sh

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
