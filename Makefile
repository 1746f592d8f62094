# The commands of the README.  Each installs what it needs first.
.PHONY: test demo setup bench fuzz dist

setup:
	@bash scripts/setup

test: setup
	@bash scripts/run-tests

demo: setup
	@bash scripts/demo

bench: setup
	@bash bench/run

fuzz: setup
	@bash scripts/fuzz

dist: setup
	@bash scripts/dist
