# The commands of the README. Each does its own set-up on a fresh Debian machine.
.PHONY: test demo dist pictures setup build clean

APP ?= clipcutter

test: setup
	cmake --preset linux >/dev/null && cmake --build --preset linux
	ctest --preset linux
	cmake --preset win32 >/dev/null && cmake --build --preset win32
	cmake --preset win64 >/dev/null && cmake --build --preset win64
	WINE_SESSION_PRIVATE_DISPLAY=1 scripts/wine-session scripts/windows-tests
	scripts/dist.sh
	scripts/install-tests

dist: setup
	scripts/dist.sh

demo: setup
	scripts/demo.sh $(APP)

# The README's pictures of the three windows, made by the demo.
pictures: setup
	for app in clipcutter clipjoiner partroster; do \
		DEMO_SHOTS=docs/windows WINE_SESSION_PRIVATE_DISPLAY=1 scripts/demo.sh $$app || exit 1; \
	done

setup:
	scripts/setup.sh

build: setup
	for p in linux win32 win64; do cmake --preset $$p >/dev/null && cmake --build --preset $$p || exit 1; done

clean:
	rm -rf build dist
