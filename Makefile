# The two commands of the README: `make run` and `make test` (and `make bench`).
BUILD  := build
JOBS   := $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test bench screenshots clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/fenwisk ]; then cd $(BUILD)/bin && ./fenwisk; \
	 else echo "The program itself is not built yet; 'make test' runs what exists."; fi

test: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 300

bench: build
	@cd $(BUILD)/bin && for b in *_bench; do [ -x "$$b" ] || continue; echo "== $$b"; ./$$b || exit 1; done

screenshots: build
	@if [ -x scripts/screenshots.sh ]; then bash scripts/screenshots.sh $(BUILD); \
	 else echo "No windows to photograph yet."; fi

clean:
	@rm -rf $(BUILD)
