// The resource's version record and the component's own must never drift apart.
#include <string_view>

#include "plugin/version_record.h"
#include "windows/module/version_numbers.h"

namespace {

using marqel::version::kFileDescription;
using marqel::version::kFileVersion;
using marqel::version::kInternalName;
using marqel::version::kMajor;
using marqel::version::kMinor;
using marqel::version::kOleSelfRegister;
using marqel::version::kOriginalFilename;
using marqel::version::kProductName;
using marqel::version::kProductVersion;
using marqel::version::kRevision;

static_assert(kMajor == MARQEL_VERSION_MAJOR && kMinor == MARQEL_VERSION_MINOR &&
              kRevision == MARQEL_VERSION_REVISION);
static_assert(std::string_view(kFileVersion) == MARQEL_FILE_VERSION);
static_assert(std::string_view(kProductVersion) == MARQEL_PRODUCT_VERSION);
static_assert(std::string_view(kFileDescription) == MARQEL_FILE_DESCRIPTION);
static_assert(std::string_view(kProductName) == MARQEL_PRODUCT_NAME);
static_assert(std::string_view(kInternalName) == MARQEL_INTERNAL_NAME);
static_assert(std::string_view(kOriginalFilename) == MARQEL_ORIGINAL_FILENAME);
static_assert(kOleSelfRegister, "the resource marks the file as self-registering");

}  // namespace
