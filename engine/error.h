#pragma once
// The one failure type of the program. Every failure, from an arithmetic
// fault deep inside a generator to a file that cannot be created, travels as
// a pelmora::Error whose message is exactly what the user is shown (the error
// box adds its final period, the command-line tool its prefix).

#include <memory>
#include <stdexcept>
#include <string>

namespace pelmora {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message)
        : std::runtime_error(message), message_(std::make_shared<const std::string>(message)) {}
    explicit Error(const char* message) : Error(std::string(message)) {}

    // The whole message. what() is a C string and ends at the first NUL,
    // which a field's text quoted in the message may hold.
    const std::string& message() const noexcept { return *message_; }

private:
    std::shared_ptr<const std::string> message_;  // shared: copying an exception must not throw
};

// Messages of the arithmetic faults.
inline constexpr const char* kInvalidOperation = "Invalid floating point operation";  // ln or sqrt of a negative, 0/0, integer conversion out of range
inline constexpr const char* kDivisionByZero = "Floating point division by zero";     // x/0 with x != 0, ln 0
inline constexpr const char* kOverflow = "Floating point overflow";                   // beyond the extended range, or beyond double when stored
inline constexpr const char* kIntegerOverflow = "Integer overflow";                   // a whole-number result beyond the signed 32-bit range

}  // namespace pelmora
