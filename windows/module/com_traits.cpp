#include "windows/module/com_traits.h"

#include <oleauto.h>

#include <string>

#include "common/runtime_error.h"
#include "windows/platform/win32_text.h"

namespace marqel::windows {

platform::win32::UniqueBstr Win32ComTraits::MakeBstr(std::u16string_view text) {
  const std::wstring wide = platform::win32::WideFrom(text);
  platform::win32::UniqueBstr made(
      ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
  if (!made) {
    throw RuntimeError(err::kOutOfMemory, "Out of memory");
  }
  return made;
}

}  // namespace marqel::windows
