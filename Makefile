# make demo   installs what is missing, builds, and erases a sample installation under Wine
# make test   installs what is missing, builds, and runs every test
# make release writes dist/VELDUNIN.EXE and dist/SHA256SUMS, signed when
#              SIGN_CERT and SIGN_KEY are given (see README)
SHELL := /bin/bash
JOBS := $(shell nproc)
PYTHON := /usr/bin/python3

.PHONY: all setup build native windows sanitize fuzz demo test unit-tests sanitizer-tests fuzz-tests \
        binary-check release-tests wine-tests release fuzz-long clean

all: build

setup:
	@tools/setup.sh

build: setup windows native

windows:
	cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	cmake --build build/win32 -j$(JOBS)
	cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	cmake --build build/win64 -j$(JOBS)

native:
	cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/native -j$(JOBS)

sanitize:
	cmake -S . -B build/native-asan -DERASER_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/native-asan -j$(JOBS)

fuzz:
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -DERASER_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build/fuzz -j$(JOBS)

demo: build
	$(PYTHON) tools/demo.py

test: build unit-tests sanitizer-tests fuzz-tests binary-check release-tests wine-tests

unit-tests:
	build/native/unit_tests --gtest_brief=1

sanitizer-tests: sanitize
	build/native-asan/unit_tests --gtest_brief=1

# About a minute in all; `make fuzz-long` runs each target ten minutes.
fuzz-tests: fuzz
	tests/run_fuzz.sh 15

fuzz-long: setup fuzz
	tests/run_fuzz.sh 600

# The built programs, then the same bytes from a second build, and a check
# that refuses an i686 build and an unhardened one.
binary-check:
	$(PYTHON) tests/check_binaries.py build/win32/eraser.exe build/win64/eraser.exe
	tests/check_builds.sh

release-tests:
	tests/release_test.sh

# Both programs at once, each in its own prefix: about a minute and a half.
wine-tests:
	$(PYTHON) tests/wine/run_tests.py

release: setup windows
	SIGN_CERT="$(SIGN_CERT)" SIGN_KEY="$(SIGN_KEY)" SIGN_PASS_FILE="$(SIGN_PASS_FILE)" \
	SIGN_CA="$(SIGN_CA)" tools/release.sh dist

clean:
	rm -rf build dist
