#pragma once
// The version record of the component's file, from the generated version header (the project's
// version is the only place the numbers are written). The Windows resource reads the same
// header; Initialize builds the description from the numbers.
#include <cstdint>

#include "marqel_version.h"

namespace marqel::version {

inline constexpr std::uint16_t kMajor = MARQEL_VERSION_MAJOR;
inline constexpr std::uint16_t kMinor = MARQEL_VERSION_MINOR;
inline constexpr std::uint16_t kRevision = MARQEL_VERSION_REVISION;

inline constexpr const char* kFileVersion = MARQEL_FILE_VERSION;
inline constexpr const char* kProductVersion = MARQEL_PRODUCT_VERSION;
inline constexpr const char* kFileDescription = MARQEL_FILE_DESCRIPTION;
inline constexpr const char* kProductName = MARQEL_PRODUCT_NAME;
inline constexpr const char* kInternalName = MARQEL_INTERNAL_NAME;
inline constexpr const char* kOriginalFilename = MARQEL_ORIGINAL_FILENAME;
// The file registers itself (DllRegisterServer): the resource's OLESelfRegister entry.
inline constexpr bool kOleSelfRegister = true;

// The maker's web address, named in the description.
inline constexpr const char16_t* kMakerWebAddress = u"https://marqel.example.org";

}  // namespace marqel::version
