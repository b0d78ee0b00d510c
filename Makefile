# Entry points: `make run`, `make test`, `make test-sanitize`, `make bench`,
# `make fuzz`, `make fuzz-atheris` (see README.md).
# Every step is skipped when its inputs have not changed, and the CMake build
# directories under build/ make the rebuilds themselves incremental. That needs
# --no-build-isolation: scikit-build-core wipes a build directory that was
# configured from a different (throwaway) build environment.

PYTHON ?= python3
CXX ?= g++
PYTEST_ARGS ?=
# WordPress is the default code base of `make bench`, fetched on first use.
WORDPRESS := build/wordpress/root/usr/share/wordpress
BENCH_ARGS ?= $(WORDPRESS)
FUZZ_SECONDS ?= 300
FUZZ_ARGS ?=

VENV := .venv
ASAN_VENV := .venv-asan
ATHERIS_VENV := .venv-atheris

# Anything whose change must trigger a rebuild. Directories are listed too:
# their mtime moves when a file is added or removed.
BUILD_INPUTS := pyproject.toml CMakeLists.txt $(wildcard cmake/*.cmake cmake/patches cmake/patches/*) \
	$(shell find src -type d -o -type f 2>/dev/null)

.PHONY: run test test-sanitize bench fuzz fuzz-atheris clean

run: $(VENV)/.installed
	$(VENV)/bin/python tools/parse_php.py examples/hello.php

test: $(VENV)/.installed $(VENV)/.test-deps
	tools/run_tests.sh $(VENV)/bin/python $(PYTEST_ARGS)

# Interpreter allocations go through malloc so ASan sees them. The interpreter
# leaks at exit by design, so leak checking is off; everything else aborts.
# --capture=sys: with pytest's default fd capture, a sanitizer report written
# just before the process dies ends up in a capture file nobody reads.
test-sanitize: $(ASAN_VENV)/.installed $(ASAN_VENV)/.test-deps
	@asan="$$($(CXX) -print-file-name=libasan.so)"; \
	ubsan="$$($(CXX) -print-file-name=libubsan.so)"; \
	[ -f "$$asan" ] && [ -f "$$ubsan" ] || { echo "$(CXX) has no libasan.so/libubsan.so" >&2; exit 1; }; \
	set -x; \
	PYTHONMALLOC=malloc \
	LD_PRELOAD="$$asan $$ubsan" \
	ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	tools/run_tests.sh $(ASAN_VENV)/bin/python --capture=sys $(PYTEST_ARGS)

bench: $(VENV)/.installed $(VENV)/.bench-deps $(if $(findstring $(WORDPRESS),$(BENCH_ARGS)),$(WORDPRESS))
	$(VENV)/bin/python bench/parse_throughput.py $(BENCH_ARGS)

$(WORDPRESS):
	bench/fetch_wordpress.sh build/wordpress

# Mutated real PHP through the sanitizer build; the script preloads the
# sanitizer runtimes for its worker itself. Pass --seed S in FUZZ_ARGS to rerun.
fuzz: $(ASAN_VENV)/.installed
	CXX="$(CXX)" $(PYTHON) tools/fuzz_parse.py --python $(ASAN_VENV)/bin/python \
		--seconds $(FUZZ_SECONDS) $(FUZZ_ARGS)

# Coverage-guided instead (not in CI): atheris's libFuzzer, in one process,
# against a clang build instrumented for coverage and ASan. Needs Debian's
# clang and libclang-rt-14-dev.
fuzz-atheris: $(ATHERIS_VENV)/.installed
	$(PYTHON) tools/fuzz_parse.py --engine atheris --python $(ATHERIS_VENV)/bin/python \
		--seconds $(FUZZ_SECONDS) $(FUZZ_ARGS)

clean:
	rm -rf build $(VENV) $(ASAN_VENV) $(ATHERIS_VENV)

$(VENV)/bin/python $(ASAN_VENV)/bin/python $(ATHERIS_VENV)/bin/python: %/bin/python:
	$(PYTHON) -m venv $*

$(VENV)/.runtime-deps $(ASAN_VENV)/.runtime-deps $(ATHERIS_VENV)/.runtime-deps: %/.runtime-deps: requirements/runtime.txt | %/bin/python
	$*/bin/python -m pip install --require-hashes --no-deps -r requirements/runtime.txt
	touch $@

$(VENV)/.test-deps $(ASAN_VENV)/.test-deps: %/.test-deps: requirements/test.txt | %/bin/python
	$*/bin/python -m pip install --require-hashes -r requirements/test.txt
	touch $@

$(VENV)/.bench-deps: requirements/bench.txt | $(VENV)/bin/python
	$(VENV)/bin/python -m pip install --require-hashes -r requirements/bench.txt
	touch $@

$(VENV)/.build-deps $(ASAN_VENV)/.build-deps $(ATHERIS_VENV)/.build-deps: %/.build-deps: requirements/build.txt | %/bin/python
	$*/bin/python -m pip install --require-hashes -r requirements/build.txt
	touch $@

$(VENV)/.installed: $(BUILD_INPUTS) $(VENV)/.runtime-deps $(VENV)/.build-deps
	$(VENV)/bin/python -m pip install --no-build-isolation -v \
		-C cmake.define.ZARNU_WERROR=ON \
		.
	touch $@

# A build directory of its own, so the two builds never overwrite each other.
$(ASAN_VENV)/.installed: $(BUILD_INPUTS) $(ASAN_VENV)/.runtime-deps $(ASAN_VENV)/.build-deps
	$(ASAN_VENV)/bin/python -m pip install --no-build-isolation -v \
		-C cmake.define.ZARNU_SANITIZE=ON \
		-C cmake.define.ZARNU_WERROR=ON \
		-C cmake.build-type=RelWithDebInfo \
		-C build-dir=build/asan \
		.
	touch $@

ATHERIS_FLAGS := -fsanitize=address,fuzzer-no-link -fno-omit-frame-pointer -g -O1
$(ATHERIS_VENV)/.installed: $(BUILD_INPUTS) requirements/atheris.txt \
		$(ATHERIS_VENV)/.runtime-deps $(ATHERIS_VENV)/.build-deps
	$(ATHERIS_VENV)/bin/python -m pip install --require-hashes --no-deps -r requirements/atheris.txt
	CC=clang CXX=clang++ $(ATHERIS_VENV)/bin/python -m pip install --no-build-isolation -v \
		-C cmake.define.CMAKE_C_FLAGS="$(ATHERIS_FLAGS)" \
		-C cmake.define.CMAKE_CXX_FLAGS="$(ATHERIS_FLAGS)" \
		-C build-dir=build/atheris \
		.
	touch $@
