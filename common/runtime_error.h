#pragma once
// The component's one error type and its error policies.
//
// Failures are runtime errors, each with a number and a description (the description is what a
// user reads after "Error: "). Each routine follows one of three policies, and the policy should be
// visible in its code:
//   - none: the error simply propagates to the caller;
//   - resume next: every statement runs under ResumeNext(), so a failing statement is abandoned and
//     the routine carries on with the next one;
//   - a handler at the end: the routine catches RuntimeError once, around its whole body.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace marqel {

// Error numbers the component raises. They follow the numbering that the component's callers and
// message texts have always used, so a status returned to the host keeps its meaning.
namespace err {
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kInputPastEndOfFile = 62;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kCannotLoadDll = 48;
inline constexpr std::int32_t kAutomationError = 440;
inline constexpr std::int32_t kFormAlreadyDisplayed = 400;
// A desktop window is wanted but no display server can be reached.
inline constexpr std::int32_t kNoDisplay = 429;
// Serial-port control errors.
// A setting that cannot change while the port is open (the port number).
inline constexpr std::int32_t kPortOperationWhileOpen = 8000;
inline constexpr std::int32_t kPortInvalid = 8002;
inline constexpr std::int32_t kPortAlreadyOpen = 8005;
inline constexpr std::int32_t kPortNotOpen = 8018;
// A port another program holds is reported with the same number as an already open one, as the
// classic port control does; the description tells the two apart.
inline constexpr std::int32_t kPortInUse = kPortAlreadyOpen;
inline constexpr std::int32_t kPortDeviceGone = 8020;
inline constexpr std::int32_t kPortSetupFailed = 8015;
}  // namespace err

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(std::int32_t number, std::string description);
  // The error that a failing status from another component (the host) becomes. It keeps the
  // status, so that a host call it escapes fails with that status and not with one of its own.
  RuntimeError(std::int32_t number, std::string description, std::int32_t status);

  std::int32_t number() const noexcept { return number_; }
  // The text a user reads after "Error: ".
  const std::string& description() const noexcept { return description_; }
  // The failing status it came from; 0 when it did not come from one.
  std::int32_t status() const noexcept { return status_; }

 private:
  std::int32_t number_;
  std::string description_;
  std::int32_t status_ = 0;
};

// Runs one statement under the resume-next policy: if it raises a RuntimeError, the statement is
// abandoned and the caller goes on with its next statement. Returns false when the statement
// failed.
template <class Statement>
bool ResumeNext(Statement&& statement) {
  try {
    statement();
    return true;
  } catch (const RuntimeError&) {
    return false;
  }
}

// A condition tested under resume next: when evaluating it fails, the guarded statement runs
// anyway, as if the condition had held.
template <class Condition>
bool ResumeNextCondition(Condition&& condition) {
  try {
    return static_cast<bool>(condition());
  } catch (const RuntimeError&) {
    return true;
  }
}

// Turns an error that escapes a host call into the call's failure status (0 is success). The
// status carries the error number in its low 16 bits, under the automation error facility.
std::int32_t FailureStatusOf(std::int32_t errorNumber) noexcept;
// The same for the error itself: the status it came from, if any, else that of its number.
std::int32_t FailureStatusOf(const RuntimeError& error) noexcept;

}  // namespace marqel
