#pragma once
// The one error the engine raises inside itself; the object adapters turn it into the
// DISP_E_EXCEPTION that callers receive as AutomationError.

#include <stdexcept>
#include <string>

namespace qx::engine {

// A failure with a description that says which file or part is wrong and how.
class EngineError : public std::runtime_error {
 public:
  explicit EngineError(const std::string& description) : std::runtime_error(description) {}
};

// "<part>: <what>" for failures inside one part of a package.
inline EngineError partError(const std::string& part, const std::string& what) {
  return EngineError(part + ": " + what);
}

}  // namespace qx::engine
