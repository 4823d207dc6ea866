# Morrowby: `make demo` to hear it, `make test` to check it. Both install what is
# missing from Debian's packages first.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all build demo test deps bench clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/Makefile: CMakeLists.txt
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: deps $(BUILD)/Makefile
	cmake --build $(BUILD) -j $(JOBS)

# Runs the program once, as at log-in, on a prepared configuration of its own.
demo: build
	tools/demo.sh $(BUILD)/morrowby

test: build
	cd $(BUILD) && ctest --output-on-failure

bench: build
	tools/install-deps.sh --bench
	bench/bench.sh $(BUILD)/morrowby

clean:
	rm -rf $(BUILD)
