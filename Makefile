# Entry points for newcomers and CI. Everything real lives in CMakeLists.txt.
JOBS    ?= $(shell nproc)
BUILD   ?= build
EXAMPLE ?= examples/curve-family.kvx

.PHONY: deps build run test test-asan bench format clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/kurvix $(wildcard $(EXAMPLE))

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Core tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKURVIX_SANITIZE=ON >/dev/null
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L core

bench: build
	$(BUILD)/bench/kurvix_bench_expr

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan
