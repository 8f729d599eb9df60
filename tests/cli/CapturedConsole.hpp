#pragma once

#include <cstdio>
#include <string>

#include "cli/console/Console.hpp"

// A console whose standard output and standard error are two temporary files, read back whole.
class CapturedConsole {
public:
  CapturedConsole()
      : output_(std::tmpfile()), error_(std::tmpfile()), console(fileno(output_), fileno(error_)) {}
  ~CapturedConsole() {
    std::fclose(output_);
    std::fclose(error_);
  }
  CapturedConsole(const CapturedConsole&) = delete;
  CapturedConsole& operator=(const CapturedConsole&) = delete;

  std::string output() const { return contents(output_); }
  std::string error() const { return contents(error_); }

private:
  static std::string contents(std::FILE* file) {
    std::string result;
    std::rewind(file);
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
      result.append(buffer, count);
    std::fseek(file, 0, SEEK_END);
    return result;
  }

  std::FILE* output_;
  std::FILE* error_;

public:
  bosun::Console console;
};
