// probeCall: calls an entry point with the arguments on the stack and this in ECX, then records EAX,
// EDX, how many argument bytes the callee removed and what it left on the x87 register stack.
// void __cdecl probeCall(const void* function, const void* ecx, const unsigned long* args,
//                        unsigned long count, ProbeResult* result)
  .text
  .globl _probeCall
_probeCall:
  pushl %ebp
  movl %esp, %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  movl 16(%ebp), %esi          // args
  movl 20(%ebp), %ebx          // count
1:
  testl %ebx, %ebx             // push last to first
  jz 2f
  decl %ebx
  pushl (%esi,%ebx,4)
  jmp 1b
2:
  movl %esp, %edi              // the stack pointer the callee sees its arguments at (EDI survives)
  movl 12(%ebp), %ecx
  call *8(%ebp)
  movl 24(%ebp), %esi          // result (ESI survives the call too)
  movl %eax, 0(%esi)
  movl %edx, 4(%esi)
  movl %esp, %eax              // a callee-cleans function leaves ESP above its arguments
  subl %edi, %eax
  movl %eax, 8(%esi)
  fnstsw %ax
  shrl $11, %eax
  andl $7, %eax
  movl %eax, 12(%esi)
  testl %eax, %eax
  jz 3f
  fstpl 16(%esi)               // take the returned value off the register stack
3:
  leal -12(%ebp), %esp         // drop whatever the caller-cleans functions left
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret
