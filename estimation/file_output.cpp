#include "estimation/file_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "estimation/age_variables.h"

namespace estimation {

std::string FileErrorMessage(const std::string& doing, const std::string& name, int errnum) {
  return "Error in " + doing + " file " + name + ": " + std::strerror(errnum);
}

// Plain system calls, so that the reason of a failure is the errno of the
// very call that failed (a stream keeps only its fail bit).
void WriteWholeFile(const std::string& name, const std::string& text) {
  auto fail = [&](int errnum) { return StopError(FileErrorMessage("writing", name, errnum)); };
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw fail(errno);
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int errnum = n < 0 ? errno : EIO;  // no progress at all: treat as an I/O error
      ::close(fd);
      throw fail(errnum);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  // A full disk or a lost network file system may show only here.
  if (::close(fd) != 0) throw fail(errno);
}

}  // namespace estimation
