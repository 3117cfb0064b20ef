#include "common/runtime_error.h"

#include <utility>

namespace marqel {

RuntimeError::RuntimeError(std::int32_t number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

RuntimeError::RuntimeError(std::int32_t number, std::string description, std::int32_t status)
    : RuntimeError(number, std::move(description)) {
  status_ = status;
}

std::int32_t FailureStatusOf(std::int32_t errorNumber) noexcept {
  const auto status = 0x800A0000u | (static_cast<std::uint32_t>(errorNumber) & 0xFFFFu);
  return static_cast<std::int32_t>(status);
}

std::int32_t FailureStatusOf(const RuntimeError& error) noexcept {
  return error.status() != 0 ? error.status() : FailureStatusOf(error.number());
}

}  // namespace marqel
