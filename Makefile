# The two commands of the README: `make run` and `make test` (and `make bench`).
BUILD  := build
JOBS   := $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test bench screenshots fuzz asan clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 300

# Each program with its own defaults, but the live benchmark watches for 20 s
# instead of a minute (its CPU figure is as steady); each one's wall time
# follows its output.
bench: build
	@cd $(BUILD)/bin && for b in *_bench; do [ -x "$$b" ] || continue; echo "== $$b"; \
	  case $$b in live_bench) args="--seconds 20";; *) args="";; esac; \
	  t0=$$(date +%s); ./$$b $$args || exit 1; echo "== $$b: $$(( $$(date +%s) - t0 )) s"; done

screenshots: build
	@if [ -x scripts/screenshots.sh ]; then bash scripts/screenshots.sh $(BUILD); \
	 else echo "No windows to photograph yet."; fi

# libFuzzer targets in their own clang build; each runs FUZZ_RUNS inputs.
FUZZ_BUILD   := build-fuzz
FUZZ_RUNS    ?= 1000000
FUZZ_TARGETS := resource_file_fuzz request_fuzz command_fuzz websocket_fuzz
FUZZ_FLAGS   := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined

fuzz:
	@bash scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DFW_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS) fw_rrf
	@for f in $(FUZZ_TARGETS); do mkdir -p $(FUZZ_BUILD)/corpus/$$f; \
	  if [ -d fuzz/seeds/$$f ]; then cp fuzz/seeds/$$f/* $(FUZZ_BUILD)/corpus/$$f/; fi; done
	@cp $(FUZZ_BUILD)/bin/fw.rrf $(FUZZ_BUILD)/corpus/resource_file_fuzz/
	@for f in $(FUZZ_TARGETS); do echo "== $$f"; \
	  $(FUZZ_BUILD)/fuzz/$$f -runs=$(FUZZ_RUNS) -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 \
	    $(FUZZ_BUILD)/corpus/$$f > $(FUZZ_BUILD)/$$f.log 2>&1; rc=$$?; \
	  grep -E "^(Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)" $(FUZZ_BUILD)/$$f.log; \
	  [ $$rc -eq 0 ] || { echo "$$f found a fault: $(FUZZ_BUILD)/$$f.log"; exit 1; }; done

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, in
# its own build; leaks count only where our own code allocated them, in every
# test and every process a test starts. -O1 (-O0 for the tests' own units,
# which also leave out the undefined-behaviour checks meant for the program)
# and line tables only: the build takes half the time and the reports still
# name every frame.
ASAN_BUILD := build-asan
ASAN_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
ASAN_CMAKE_FLAGS ?=

asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_BENCH=OFF -DFW_TEST_FLAGS=-fno-sanitize=undefined $(ASAN_CMAKE_FLAGS) \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
	  -DCMAKE_CXX_FLAGS="$(ASAN_FLAGS)" -DCMAKE_C_FLAGS="$(ASAN_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/.ci/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest -j $(JOBS) --output-on-failure --timeout 600

# The benchmarks keep their large fixtures (log databases of millions of
# rows) in the temporary folder between runs; clean removes them too.
BENCH_KEEP := $(or $(TMPDIR),/tmp)

clean:
	@rm -rf $(BUILD) $(FUZZ_BUILD) $(ASAN_BUILD) build-tsan
	@rm -f $(BENCH_KEEP)/fenwisk-bench-keep-*
