# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing first.
PRESET ?= default
BUILD_DIR = build/$(PRESET)

.PHONY: deps configure build run test demo shots package format check-format bench clean

deps:
	@bash scripts/install-deps

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

run: build
	$(BUILD_DIR)/src/app/quorvex

test: build
	@bash scripts/check-format
	@bash scripts/check-layering
	@ctest --preset $(PRESET)

demo: build
	@bash scripts/demo $(BUILD_DIR)

# Pictures of every window and state into shots/; `make shots FILTER=guide/` takes only those rows.
shots: build
	@QUORVEX_BUILD_DIR=$(BUILD_DIR) bash scripts/shots shots $(FILTER)

package: build
	@cd $(BUILD_DIR) && cpack -G DEB

bench: build
	@bash bench/run-all $(BUILD_DIR)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

check-format:
	@bash scripts/check-format

clean:
	rm -rf build
