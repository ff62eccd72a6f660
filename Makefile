# The two commands: `make demo` and `make test`. Both install what is missing first.
.PHONY: all deps build demo test check-tree test-linux test-windows sanitizer-tests fuzz fuzz-smoke \
        bench clean package package-tests

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

demo: build
	./build/cli/tunewell demo

# The tree check first: it takes seconds.
test: deps check-tree test-linux test-windows sanitizer-tests fuzz-smoke package-tests

check-tree:
	scripts/check-tree.sh

test-linux:
	cmake --preset default
	cmake --build --preset default
	ctest --preset default

test-windows:
	scripts/windows-tests.sh

# The MSIs and the .deb, into build/packages/.
package: deps
	scripts/package.sh

# Install, upgrade and uninstall of the packages (wine64 for the x64 MSI, msiinfo, dpkg-deb).
package-tests: deps
	scripts/package-tests.sh

# The threaded tests under ThreadSanitizer, and under AddressSanitizer and UBSan.
sanitizer-tests:
	scripts/sanitizer-tests.sh

fuzz-smoke:
	scripts/fuzz.sh 30

fuzz:
	scripts/fuzz.sh 600

bench: build
	scripts/bench.sh

clean:
	rm -rf build build-*
