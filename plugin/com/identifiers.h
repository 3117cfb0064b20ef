#pragma once
// The identifiers of the component and of the host interfaces it meets.
#include <optional>
#include <string>
#include <string_view>

#include "plugin/com/com_abi.h"

namespace marqel::com {

// Type library Marqel, version 1.0.
inline constexpr GUID LIBID_Marqel = {
    0xE1EB66E6, 0x29DD, 0x43D4, {0xA9, 0x41, 0xC0, 0x36, 0xE6, 0x92, 0x3C, 0x3B}};
inline constexpr std::uint16_t kMarqelLibMajor = 1;
inline constexpr std::uint16_t kMarqelLibMinor = 0;
// Class Tolvane (creatable).
inline constexpr GUID CLSID_Tolvane = {
    0x7A56BC4E, 0x24B3, 0x4DBB, {0xBE, 0xD7, 0x2F, 0x13, 0xF7, 0xD1, 0x9F, 0x22}};
// Its default interface _Tolvane: a dispatch interface without members.
inline constexpr GUID IID__Tolvane = {
    0xBD41F2D2, 0x2CF3, 0x471D, {0x8A, 0xBE, 0x78, 0x15, 0x08, 0x62, 0x9F, 0xA0}};
inline constexpr GUID IID_IBrelWinAmpGenPlugin = {
    0xD7CCEDBC, 0xEA32, 0x4421, {0x8C, 0x9E, 0xF4, 0x96, 0x43, 0x85, 0x13, 0x21}};
// Host type library BrelWinAmpGenLib (file GenWrapper), version 1.0.
inline constexpr GUID LIBID_BrelWinAmpGenLib = {
    0xB1350BE9, 0xC458, 0x435C, {0x8B, 0x7C, 0x74, 0xD0, 0x5F, 0xCB, 0xA8, 0xDD}};
inline constexpr GUID IID_IBrelWinAmpGenHost = {
    0xA14D666C, 0x0903, 0x4111, {0xA9, 0x2F, 0x6D, 0xDF, 0xE5, 0x30, 0xAF, 0xDC}};

inline constexpr GUID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline constexpr const char* kTolvaneProgId = "Marqel.Tolvane";

// "{7A56BC4E-24B3-4DBB-BED7-2F13F7D19F22}": upper-case hex, in braces.
std::string GuidText(const GUID& guid);
// Reads that form (braces optional, either case); nullopt for anything else.
std::optional<GUID> ParseGuid(std::string_view text);

}  // namespace marqel::com
