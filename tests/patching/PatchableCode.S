# A function in the test program's own code that the patch test rewrites and then calls.
  .text
  .globl _valueSite
_valueSite:
  movl $1, %eax  # B8 01 00 00 00
  ret            # C3
