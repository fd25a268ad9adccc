# The two entry points; both install what is missing first. make fuzz runs the long fuzz campaigns.
.PHONY: test demo sdk dist bench fuzz
test:
	scripts/test
demo:
	scripts/demo
sdk: ; scripts/sdk
dist: ; scripts/dist
bench: ; scripts/bench
fuzz: ; scripts/fuzz
