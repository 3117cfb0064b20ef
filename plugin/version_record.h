#pragma once
// The version record of the component's file. The Windows build turns these into its VERSIONINFO
// resource; Initialize builds the description from the numbers.
#include <cstdint>

namespace marqel::version {

inline constexpr std::uint16_t kMajor = 1;
inline constexpr std::uint16_t kMinor = 1;
inline constexpr std::uint16_t kRevision = 2;

inline constexpr const char* kFileVersion = "1.01.0002";
inline constexpr const char* kProductVersion = "1.01.0002";
inline constexpr const char* kFileDescription = "WinAmp 5.x PlugIn";
inline constexpr const char* kProductName = "Pellucor";
inline constexpr const char* kInternalName = "Marqel";
inline constexpr const char* kOriginalFilename = "Marqel.dll";
// The file registers itself (DllRegisterServer): the OLESelfRegister entry.
inline constexpr bool kOleSelfRegister = true;

// The maker's web address, named in the description.
inline constexpr const char16_t* kMakerWebAddress = u"https://marqel.example.org";

}  // namespace marqel::version
