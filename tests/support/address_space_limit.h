#pragma once
// An address space limit a little above what the process uses now, standing in for a
// machine without the memory to spare while it lives: an allocation past it fails
// (std::bad_alloc) instead of succeeding. Not with AddressSanitizer, whose shadow
// memory takes more address space than any limit leaves: Available() says so.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

namespace testsupport {

class AddressSpaceLimit {
 public:
  static constexpr bool Available() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return true;
#endif
  }
  // Allows `more` bytes beyond the address space in use now.
  explicit AddressSpaceLimit(std::uint64_t more) {
    getrlimit(RLIMIT_AS, &old_);
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit lowered = old_;
    lowered.rlim_cur = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + more;
    setrlimit(RLIMIT_AS, &lowered);
  }
  ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &old_); }
  AddressSpaceLimit(const AddressSpaceLimit&) = delete;
  AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

 private:
  rlimit old_{};
};

}  // namespace testsupport
