/* Preloaded into 32-bit Wine when it runs under qemu's user-mode emulator: gives mmap the
 * MAP_FIXED_NOREPLACE meaning that the emulator lacks, so Wine's address-space reservation
 * does not fall back to mapping page by page. */
#define _GNU_SOURCE
#include <errno.h>
#include <stddef.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

static void* mapPages(void* addr, size_t length, int prot, int flags, int fd, unsigned long long offset) {
  if (offset & 4095) {
    errno = EINVAL;
    return MAP_FAILED;
  }
  int noReplace = (flags & MAP_FIXED_NOREPLACE) != 0;
  long result = syscall(SYS_mmap2, addr, length, prot, flags & ~MAP_FIXED_NOREPLACE, fd, (unsigned long)(offset >> 12));
  if (result == -1) return MAP_FAILED;
  /* The emulator takes the address as a hint: anything else means the range was not free. */
  if (noReplace && (void*)result != addr) {
    syscall(SYS_munmap, (void*)result, length);
    errno = EEXIST;
    return MAP_FAILED;
  }
  return (void*)result;
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
  return mapPages(addr, length, prot, flags, fd, (unsigned long long)(unsigned long)offset);
}

void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off64_t offset) {
  return mapPages(addr, length, prot, flags, fd, (unsigned long long)offset);
}
