# The two commands: `make demo` and `make test`. Both install what is missing first.
.PHONY: all deps build demo test test-linux test-windows fuzz fuzz-smoke bench clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

demo: build
	./build/cli/tunewell demo

test: deps test-linux test-windows fuzz-smoke

test-linux:
	cmake --preset default
	cmake --build --preset default
	ctest --preset default

test-windows:
	scripts/windows-tests.sh

fuzz-smoke:
	scripts/fuzz.sh 30

fuzz:
	scripts/fuzz.sh 600

bench: build
	scripts/bench.sh

clean:
	rm -rf build build-*
