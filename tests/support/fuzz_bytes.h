#pragma once
// Damaged input for the fuzz tests: pure noise from an alphabet the readers care
// about, or a valid file with a few bytes changed, cut or duplicated.
#include <random>
#include <string>

namespace testsupport {

class FuzzBytes {
 public:
  FuzzBytes(uint32_t seed, std::string alphabet) : rng_(seed), alphabet_(std::move(alphabet)) {}

  std::string operator()(const std::string& valid, size_t noise_bytes = 400) {
    std::uniform_int_distribution<int> coin(0, 2);
    std::string out;
    if (coin(rng_) == 0 || valid.empty()) {
      const size_t n = std::uniform_int_distribution<size_t>(0, noise_bytes)(rng_);
      for (size_t i = 0; i < n; ++i)
        out += coin(rng_) == 0 ? static_cast<char>(rng_() & 0xFF) : Letter();
      return out;
    }
    out = valid;
    const int edits = std::uniform_int_distribution<int>(1, 6)(rng_);
    for (int e = 0; e < edits && !out.empty(); ++e) {
      const size_t at = std::uniform_int_distribution<size_t>(0, out.size() - 1)(rng_);
      switch (coin(rng_)) {
        case 0:
          out[at] = coin(rng_) == 0 ? static_cast<char>(rng_() & 0xFF) : Letter();
          break;
        case 1:
          out.resize(at);
          break;
        default:
          out.insert(at, out.substr(at, 9));
          break;
      }
    }
    return out;
  }

  std::mt19937& rng() { return rng_; }

 private:
  char Letter() {
    return alphabet_[std::uniform_int_distribution<size_t>(0, alphabet_.size() - 1)(rng_)];
  }
  std::mt19937 rng_;
  std::string alphabet_;
};

}  // namespace testsupport
