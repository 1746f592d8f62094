# The two commands of the README.  Both install what they need first.
.PHONY: test demo setup bench

setup:
	@bash scripts/setup

test: setup
	@bash scripts/run-tests

demo: setup
	@bash scripts/demo

bench: setup
	@bash bench/run
