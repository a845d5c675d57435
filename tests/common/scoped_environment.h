#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tickscope::testing {

// Sets (or unsets, with nullopt) an environment variable for one scope and restores it after.
// The time-zone cache is renewed too, so that TZ changes take effect.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Apply(value);
    }
    ~ScopedEnvironment() { Apply(old_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    void Apply(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
        ::tzset();
    }
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace tickscope::testing
