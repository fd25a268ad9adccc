// The documents' few file-system calls: folders, temporary files, in-place rewrites and replacement.
#include "json/internal/FileAccess.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

static const int kNameAttempts = 16;  // fresh names tried before the folder counts as refusing

static std::atomic<unsigned> gTemporaryCount{0};

bool pathExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0;
}

// path + ".<process>-<count>.tmp": distinct across the threads and processes writing now; creation
// that refuses an existing name covers the rest.
static std::string temporaryName(const char* path, unsigned long process) {
  char suffix[32];
  snprintf(suffix, sizeof suffix, ".%lx-%x.tmp", process, gTemporaryCount.fetch_add(1) + 1);
  return std::string(path) + suffix;
}

#ifdef _WIN32

static const DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

static HANDLE handleOf(OutputFile file) {
  return reinterpret_cast<HANDLE>(file.system);
}

void makeFolder(const char* path) {
  _mkdir(path);
}

TargetFacts targetFacts(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return {true, 0};
  bool writable = !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
  return {writable, attributes & kKeptAttributes};
}

bool createTemporary(const char* path, unsigned attributes, std::string& name, OutputFile& file) {
  DWORD flags = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = temporaryName(path, GetCurrentProcessId());
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, flags, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file.system = reinterpret_cast<intptr_t>(handle);
      return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool openInPlace(const char* path, OutputFile& file) {
  // Readers may stay; another writer, or a replacement, waits until this text is complete.
  HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  file.system = reinterpret_cast<intptr_t>(handle);
  return true;
}

static bool moveTo(HANDLE handle, uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) != 0;
}

bool reserveLength(OutputFile file, uint64_t size) {
  HANDLE handle = handleOf(file);
  LARGE_INTEGER length;
  if (!GetFileSizeEx(handle, &length)) return false;
  if (static_cast<uint64_t>(length.QuadPart) < size && !(moveTo(handle, size) && SetEndOfFile(handle))) return false;
  return moveTo(handle, 0);
}

bool cutAt(OutputFile file, uint64_t size) {
  HANDLE handle = handleOf(file);
  return moveTo(handle, size) && SetEndOfFile(handle);
}

bool writeBytes(OutputFile file, const char* bytes, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(handleOf(file), bytes, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool closeFile(OutputFile file) {
  return CloseHandle(handleOf(file)) != 0;
}

void removeFile(const char* path) {
  DeleteFileA(path);
}

bool putInPlace(OutputFile file, const char*, const char* path) {
  // Renamed through its own handle: one call, where MoveFileExA and ReplaceFileA open it again by name.
  int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (length <= 0) return false;
  std::vector<char> storage(sizeof(FILE_RENAME_INFO) + length * sizeof(WCHAR));
  FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = (length - 1) * sizeof(WCHAR);
  MultiByteToWideChar(CP_ACP, 0, path, -1, rename->FileName, length);
  return SetFileInformationByHandle(handleOf(file), FileRenameInfo, rename, static_cast<DWORD>(storage.size())) != 0;
}

#else

static int descriptorOf(OutputFile file) {
  return static_cast<int>(file.system);
}

void makeFolder(const char* path) {
  mkdir(path, 0777);
}

TargetFacts targetFacts(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) return {true, 0};
  // The write bits, as Windows' read-only attribute: the tests run as root, which access() lets through.
  bool writable = S_ISREG(info.st_mode) && (info.st_mode & 0222) != 0;
  return {writable, static_cast<unsigned>(info.st_mode & 07777)};
}

bool createTemporary(const char* path, unsigned attributes, std::string& name, OutputFile& file) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = temporaryName(path, static_cast<unsigned long>(getpid()));
    int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      if (attributes) fchmod(descriptor, attributes);  // the replaced file's mode, whatever the umask
      file.system = descriptor;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool openInPlace(const char* path, OutputFile& file) {
  int descriptor = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) return false;
  file.system = descriptor;
  return true;
}

bool reserveLength(OutputFile file, uint64_t size) {
  struct stat info;
  if (fstat(descriptorOf(file), &info) != 0) return false;
  if (static_cast<uint64_t>(info.st_size) < size && ftruncate(descriptorOf(file), static_cast<off_t>(size)) != 0)
    return false;
  return lseek(descriptorOf(file), 0, SEEK_SET) == 0;
}

bool cutAt(OutputFile file, uint64_t size) {
  return ftruncate(descriptorOf(file), static_cast<off_t>(size)) == 0;
}

bool writeBytes(OutputFile file, const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t written = write(descriptorOf(file), bytes, size);
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool closeFile(OutputFile file) {
  return close(descriptorOf(file)) == 0;
}

void removeFile(const char* path) {
  unlink(path);
}

bool putInPlace(OutputFile, const char* temporary, const char* path) {
  return rename(temporary, path) == 0;
}

#endif
