# The two entry points; both install what is missing first.
.PHONY: test demo sdk bench
test:
	scripts/test
demo:
	scripts/demo
sdk: ; scripts/sdk
bench: ; scripts/bench
