# The two entry points; both install what is missing first.
.PHONY: test demo sdk dist bench
test:
	scripts/test
demo:
	scripts/demo
sdk: ; scripts/sdk
dist: ; scripts/dist
bench: ; scripts/bench
