#pragma once
// Every call that comes in from outside the DLL goes through here: no exception crosses an
// entry point, and an error that escapes becomes the call's failure status.
#include <windows.h>

#include <new>

#include "common/runtime_error.h"

namespace marqel::windows {

template <class Call>
HRESULT StatusOfHostCall(Call&& call) noexcept {
  try {
    call();
    return S_OK;
  } catch (const RuntimeError& error) {
    return static_cast<HRESULT>(FailureStatusOf(error.number()));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace marqel::windows
