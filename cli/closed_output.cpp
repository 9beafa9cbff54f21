// Writing through C's standard output, and noticing once that it was closed.
#include "cli/closed_output.h"

#include <cerrno>
#include <cstring>

namespace korva::cli {

std::streambuf::int_type ClosedOutputGuard::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  xsputn(&byte, 1);
  return c;
}

std::streamsize ClosedOutputGuard::xsputn(const char* text, std::streamsize count) {
  if (!closed_ && std::fwrite(text, 1, static_cast<std::size_t>(count), file_) !=
                      static_cast<std::size_t>(count)) {
    Fail();
  }
  return count;
}

int ClosedOutputGuard::sync() {
  if (!closed_ && std::fflush(file_) != 0) Fail();
  return 0;
}

void ClosedOutputGuard::Fail() {
  const std::string reason = std::strerror(errno);
  closed_ = true;
  std::clearerr(file_);
  if (onClosed_) onClosed_(reason);
}

std::string ClosedOutputText(const std::string& reason) {
  return "the output was closed (" + reason +
         "): the update goes on; the exit status and the support log tell how it ends";
}

}  // namespace korva::cli
