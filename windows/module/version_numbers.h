#pragma once
/* The version record for the resource compiler, which cannot read C++. version_check.cpp holds
   these to the numbers in plugin/version_record.h. */
#define MARQEL_VERSION_MAJOR 1
#define MARQEL_VERSION_MINOR 1
#define MARQEL_VERSION_REVISION 2
#define MARQEL_FILE_VERSION "1.01.0002"
#define MARQEL_PRODUCT_VERSION "1.01.0002"
#define MARQEL_FILE_DESCRIPTION "WinAmp 5.x PlugIn"
#define MARQEL_PRODUCT_NAME "Pellucor"
#define MARQEL_INTERNAL_NAME "Marqel"
#define MARQEL_ORIGINAL_FILENAME "Marqel.dll"
