// Relative jumps and calls written into code through patch.
#pragma once

// Writes a short (EB) or long (E9) jump at site; true when the opcode byte was written.
bool patchJump(unsigned int site, unsigned int target);
// Writes a call (E8) at site.
void patchCall(unsigned int site, unsigned int target);
