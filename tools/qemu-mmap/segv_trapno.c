/* Preloaded into 32-bit Wine beside mmap_noreplace.c when it runs under qemu's user-mode emulator:
 * the emulator delivers a guest's page fault as SIGSEGV with trap number -1 in the signal context, which
 * Wine reads as an unknown trap and raises as an illegal instruction. The faulting access and its
 * error code are right; this puts the page-fault trap number (14) back before Wine's handler sees it, so
 * an access violation stays one. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stddef.h>
#include <ucontext.h>

static void (*wineHandler)(int, siginfo_t*, void*);

static void restoreTrapNumber(int signal, siginfo_t* info, void* context) {
  greg_t* registers = ((ucontext_t*)context)->uc_mcontext.gregs;
  if (registers[REG_TRAPNO] == -1 && (info->si_code == SEGV_MAPERR || info->si_code == SEGV_ACCERR))
    registers[REG_TRAPNO] = 14;
  wineHandler(signal, info, context);
}

int sigaction(int signal, const struct sigaction* action, struct sigaction* old) {
  static int (*next)(int, const struct sigaction*, struct sigaction*);
  if (!next) next = (int (*)(int, const struct sigaction*, struct sigaction*))dlsym(RTLD_NEXT, "sigaction");
  if (signal != SIGSEGV || !action || !(action->sa_flags & SA_SIGINFO) || action->sa_sigaction == restoreTrapNumber)
    return next(signal, action, old);
  struct sigaction wrapped = *action;
  wineHandler = action->sa_sigaction;
  wrapped.sa_sigaction = restoreTrapNumber;
  return next(signal, &wrapped, old);
}
