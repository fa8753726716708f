// Fuzz target for the account settings file: every input is written as a
// whole file and read back with ReadAccountFile, then written and read again.
// The values must stay terminated inside their 32-byte buffers, and a file the
// program wrote must read back to the same values.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "net/account.h"
#include "net/account_file.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A private file in memory-backed storage, one per fuzzing process.
const std::string& ScratchPath(const char* suffix) {
  static std::string paths[2];
  std::string& path = paths[suffix[0] == 'w'];
  if (path.empty()) {
    path = "/dev/shm/norvalisk_account_fuzz_" + std::to_string(getpid()) + "_" + suffix;
  }
  return path;
}

void CheckTerminated(const char* value) {
  Check(std::memchr(value, '\0', kAccountTextSize) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& input = ScratchPath("in");
  FILE* file = std::fopen(input.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  UserId[0] = '\0';
  UserPassword[0] = '\0';
  RememberLogin = 0;
  Check(ReadAccountFile(input.c_str()) == 1);
  CheckTerminated(UserId);
  CheckTerminated(UserPassword);

  // What the program writes, it reads back unchanged.
  char id[kAccountTextSize], password[kAccountTextSize];
  std::memcpy(id, UserId, sizeof id);
  std::memcpy(password, UserPassword, sizeof password);
  const int remember = RememberLogin;
  const std::string& output = ScratchPath("written");
  Check(WriteAccountFile(output.c_str()) == 1);
  UserId[0] = '\0';
  UserPassword[0] = '\0';
  RememberLogin = 0;
  Check(ReadAccountFile(output.c_str()) == 1);
  Check(std::strcmp(id, UserId) == 0);
  Check(std::strcmp(password, UserPassword) == 0);
  Check(remember == RememberLogin);
  return 0;
}
