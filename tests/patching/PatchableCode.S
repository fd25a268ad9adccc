# Functions in the test program's own code that the patch tests overwrite and then call.
# Each returns its own number and is followed by padding, so a five-byte branch fits at its start.

  .text
  .macro returning name, value
  .globl _\name
  .p2align 4
_\name:
  movl $\value, %eax   # B8 imm32
  ret                  # C3
  .fill 10, 1, 0xCC
  .endm

  returning valueSite, 1
  returning farJumpSite, 2
  returning farCallSite, 3
  returning farJumpTarget, 11
