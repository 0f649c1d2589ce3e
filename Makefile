# Set-up, build, run and test on a Debian 12 machine.
BUILD_DIR ?= build
JOBS ?= 2

.PHONY: all deps build run demo test asan tsan clean

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

# Sanitizer builds of the whole suite.
asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVOBRELFM_ASAN=ON
	cmake --build build-asan -j$(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVOBRELFM_TSAN=ON
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && QT_QPA_PLATFORM=offscreen TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan
