// Sets (or, with a null value, removes) an environment variable for the life of the object and
// restores the previous state afterwards, so tests can choose locales and folders one by one.
// On Windows it changes the process environment itself, which the system's calls read and child
// processes inherit.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#if defined(_WIN32)
#include "platform/platform.h"
#endif

namespace testing_support {

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name), old_(Get(name))
    {
        Set(value);
    }
    ~ScopedEnvironment() { Set(old_ ? old_->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    static std::optional<std::string> Get(const char* name)
    {
#if defined(_WIN32)
        const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
        if (size == 0) {
            return std::nullopt;
        }
        std::string value(size, '\0');
        value.resize(GetEnvironmentVariableA(name, value.data(), size));
        return value;
#else
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
#endif
    }

    void Set(const char* value) const
    {
#if defined(_WIN32)
        SetEnvironmentVariableA(name_.c_str(), value);
#else
        if (value != nullptr) {
            setenv(name_.c_str(), value, 1);
        } else {
            unsetenv(name_.c_str());
        }
#endif
    }

    std::string name_;
    std::optional<std::string> old_;
};

} // namespace testing_support
