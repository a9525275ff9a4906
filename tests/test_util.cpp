#include "test_util.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testutil {

ScopedTempDir::ScopedTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "agetest.XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = tmpl;
  old_ = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  std::filesystem::current_path(old_, ec);
  std::filesystem::remove_all(dir_, ec);
}

ScopedEnv::ScopedEnv(const std::string& name, const char* value) : name_(name) {
  const char* old = std::getenv(name_.c_str());
  had_ = old != nullptr;
  if (had_) old_ = old;
  if (value != nullptr)
    setenv(name_.c_str(), value, 1);
  else
    unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

void WriteFile(const std::string& name, const std::string& content) {
  std::ofstream f(name, std::ios::binary);
  f << content;
}

std::string ReadFile(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool FileExists(const std::string& name) { return std::filesystem::exists(name); }

RunResult RunProgram(const std::string& exe) {
  RunResult r;
  const std::string cmd = "'" + exe + "' </dev/null >run.stdout 2>run.stderr";
  const int st = std::system(cmd.c_str());
  r.exit_status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = ReadFile("run.stdout");
  r.err = ReadFile("run.stderr");
  std::filesystem::remove("run.stdout");
  std::filesystem::remove("run.stderr");
  return r;
}

}  // namespace testutil
