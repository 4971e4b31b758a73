#pragma once
// An address space limit `more` bytes above what the process uses now, for a machine
// without the memory to spare: an allocation past it throws std::bad_alloc. Not under
// AddressSanitizer, whose shadow memory takes more address space than any limit leaves.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

namespace testsupport {

class AddressSpaceLimit {
 public:
#if defined(__SANITIZE_ADDRESS__)
  static constexpr bool kAvailable = false;
#else
  static constexpr bool kAvailable = true;
#endif
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
