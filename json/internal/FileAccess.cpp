// The documents' few file-system calls: folders, temporary files, in-place rewrites and replacement.
#include "json/internal/FileAccess.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>
#endif

static std::atomic<unsigned> gTemporaryCount{0};

bool pathExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0;
}

// path + ".<process>-<count>.tmp", both in hexadecimal: distinct across the threads and processes
// writing now; creation that refuses an existing name covers the rest.
static std::string temporaryName(const char* path, unsigned long process, unsigned count) {
  char suffix[32];
  snprintf(suffix, sizeof suffix, ".%lx-%x.tmp", process, count);
  return std::string(path) + suffix;
}

// The folder part of path, separator included; empty for a name in the current folder.
static std::string folderOf(const char* path) {
  const char* end = path + strlen(path);
  while (end > path && end[-1] != '/' && end[-1] != '\\') --end;
  return std::string(path, end);
}

static size_t hexDigits(const char* text) {
  return strspn(text, "0123456789abcdef");
}

// Whether entry, a name in path's folder, is a temporary file of path (see temporaryName); its process.
static bool temporaryOf(const char* path, const char* entry, unsigned long& process) {
  const char* file = path + folderOf(path).size();
  size_t length = strlen(file);
  if (strncmp(entry, file, length) != 0 || entry[length] != '.') return false;
  const char* digits = entry + length + 1;
  size_t processDigits = hexDigits(digits);
  if (processDigits == 0 || processDigits > 8 || digits[processDigits] != '-') return false;
  const char* count = digits + processDigits + 1;
  size_t countDigits = hexDigits(count);
  if (countDigits == 0 || countDigits > 8 || strcmp(count + countDigits, ".tmp") != 0) return false;
  process = strtoul(digits, nullptr, 16);
  return true;
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
  for (unsigned attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    name = temporaryName(path, GetCurrentProcessId(), gTemporaryCount.fetch_add(1) + 1);
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, flags, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file.system = reinterpret_cast<intptr_t>(handle);
      return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  name.clear();  // no temporary file was made: the name is another's, or nobody's
  return false;
}

std::string nextTemporaryName(const char* path, unsigned ahead) {
  return temporaryName(path, GetCurrentProcessId(), gTemporaryCount.load() + 1 + ahead);
}

// Whether the process may still run: a process that cannot be asked (another user's) is taken to.
static bool processRuns(unsigned long process) {
  HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
  if (!handle) return GetLastError() != ERROR_INVALID_PARAMETER;  // no process has that number
  bool running = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
  CloseHandle(handle);
  return running;
}

void removeStaleTemporaries(const char* path) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((std::string(path) + ".*-*.tmp").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  const std::string folder = folderOf(path);
  do {
    unsigned long process = 0;
    if (!temporaryOf(path, entry.cFileName, process) || process == GetCurrentProcessId() || processRuns(process))
      continue;
    DeleteFileA((folder + entry.cFileName).c_str());
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

bool openInPlace(const char* path, OutputFile& file) {
  // Readers may stay; another writer, or a replacement, waits until this text is complete.
  HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  file.system = reinterpret_cast<intptr_t>(handle);
  return true;
}

bool sizeOf(OutputFile file, uint64_t& size) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(handleOf(file), &length)) return false;
  size = static_cast<uint64_t>(length.QuadPart);
  return true;
}

bool seekTo(OutputFile file, uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(handleOf(file), at, nullptr, FILE_BEGIN) != 0;
}

bool cutAt(OutputFile file, uint64_t size) {
  return seekTo(file, size) && SetEndOfFile(handleOf(file));
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

bool flushFile(OutputFile file) {
  return FlushFileBuffers(handleOf(file)) != 0;
}

bool closeFile(OutputFile file) {
  return CloseHandle(handleOf(file)) != 0;
}

void removeFile(const char* path) {
  DeleteFileA(path);
}

bool putInPlace(OutputFile file, const char*, const char* path) {
  // Renamed through its own handle: one call, where MoveFileExA and ReplaceFileA open it again by name.
  // The name is converted as CreateFileA converts it, by the code page the file calls use now.
  const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  int length = MultiByteToWideChar(codePage, 0, path, -1, nullptr, 0);
  if (length <= 0) return false;
  std::vector<char> storage(sizeof(FILE_RENAME_INFO) + length * sizeof(WCHAR));
  FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = (length - 1) * sizeof(WCHAR);
  MultiByteToWideChar(codePage, 0, path, -1, rename->FileName, length);
  return SetFileInformationByHandle(handleOf(file), FileRenameInfo, rename, static_cast<DWORD>(storage.size())) != 0;
}

void pauseFor(unsigned milliseconds) {
  Sleep(milliseconds);
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
  for (unsigned attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    name = temporaryName(path, static_cast<unsigned long>(getpid()), gTemporaryCount.fetch_add(1) + 1);
    int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      if (attributes) fchmod(descriptor, attributes);  // the replaced file's mode, whatever the umask
      file.system = descriptor;
      return true;
    }
    if (errno != EEXIST) break;
  }
  name.clear();  // no temporary file was made: the name is another's, or nobody's
  return false;
}

std::string nextTemporaryName(const char* path, unsigned ahead) {
  return temporaryName(path, static_cast<unsigned long>(getpid()), gTemporaryCount.load() + 1 + ahead);
}

void removeStaleTemporaries(const char* path) {
  const std::string folder = folderOf(path);
  DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
  if (!listing) return;
  const unsigned long self = static_cast<unsigned long>(getpid());
  while (dirent* entry = readdir(listing)) {
    unsigned long process = 0;
    if (!temporaryOf(path, entry->d_name, process) || process == self) continue;
    if (kill(static_cast<pid_t>(process), 0) == 0 || errno != ESRCH) continue;  // runs, or may
    unlink((folder + entry->d_name).c_str());
  }
  closedir(listing);
}

bool openInPlace(const char* path, OutputFile& file) {
  int descriptor = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) return false;
  file.system = descriptor;
  return true;
}

bool sizeOf(OutputFile file, uint64_t& size) {
  struct stat info;
  if (fstat(descriptorOf(file), &info) != 0) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool seekTo(OutputFile file, uint64_t offset) {
  return lseek(descriptorOf(file), static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
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

bool flushFile(OutputFile file) {
  return fsync(descriptorOf(file)) == 0;
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

void pauseFor(unsigned milliseconds) {
  timespec pause = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) continue;
}

#endif
