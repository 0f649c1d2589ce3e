# Set-up, build, run and test on a Debian 12 machine.
BUILD_DIR ?= build
JOBS ?= 2

.PHONY: all deps build run demo test bench asan tsan fuzz clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS)

# Starts the program; with no SYSTEM.CFG of the user's beside it, it talks to the
# bundled demo register on a pseudo-terminal.
run: build
	@if [ -f $(BUILD_DIR)/SYSTEM.CFG ]; then ./$(BUILD_DIR)/vobrelfm; \
	else ./$(BUILD_DIR)/vobrelfm --demo; fi

demo: build
	./$(BUILD_DIR)/vobrelfm --demo

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# Benchmarks: ratios against baselines measured in the same run.
bench: build
	./$(BUILD_DIR)/bench_report_grid
	./$(BUILD_DIR)/bench_download
	./$(BUILD_DIR)/bench_iso ./$(BUILD_DIR)/vobrelfm

# Sanitizer builds of the whole suite.
asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVOBRELFM_ASAN=ON
	cmake --build build-asan -j$(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The serial port's threads under the thread sanitizer: the port, the session and the
# command-line tests against the simulator.
TSAN_TESTS ?= SerialPort|IBus|EndToEndTest.CommandLine|EndToEndReports.CommandLine|EndToEndReports.Corrupted
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVOBRELFM_TSAN=ON
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --output-on-failure -j$(JOBS) -R '$(TSAN_TESTS)'

# Builds the fuzz targets with clang (address sanitizer on) and runs each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz:
	@./scripts/install-deps.sh clang libclang-rt-14-dev
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DVOBRELFM_FUZZ=ON -DVOBRELFM_ASAN=ON \
	  -DVOBRELFM_BUILD_TESTS=OFF
	cmake --build build-fuzz -j$(JOBS) --target fuzz_ibus_receiver fuzz_ini_profile fuzz_catalogue fuzz_iso_import
	for f in fuzz_ibus_receiver fuzz_ini_profile fuzz_catalogue fuzz_iso_import; do \
	  mkdir -p build-fuzz/corpus/$$f; \
	  ./build-fuzz/$$f -max_total_time=$(FUZZ_SECONDS) build-fuzz/corpus/$$f tests/fuzz/corpus/$$f || exit 1; \
	done

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz
