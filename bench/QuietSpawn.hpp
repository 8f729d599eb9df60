#pragma once

// How the benchmarks start a whole program when its own cost is what they measure: posix_spawn
// with the three standard streams on the null device, nothing in between. (Set-up steps that need
// the output use the tests' child-process helper instead.)

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace bosun::bench {

// Starts `arguments[0]` (a path) with the arguments and the environment given (this process's
// when null); returns the process id, or -1 when it could not be started.
inline pid_t spawnQuietly(std::vector<std::string> arguments, char* const* environment = nullptr) {
  std::vector<char*> argv;
  for (auto& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(),
                  environment != nullptr ? environment : environ) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

} // namespace bosun::bench
