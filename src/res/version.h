// The product's name and version, shared by the version resources of the
// program and the uninstaller; the setup script reads the same numbers.
#pragma once

#define HALVENOR_VERSION_MAJOR 2
#define HALVENOR_VERSION_MINOR 0
#define HALVENOR_VERSION_NUM 2, 0, 0, 0
#define HALVENOR_VERSION_TEXT "2.0"
#define HALVENOR_VERSION_FULL "2.0.0.0"
#define HALVENOR_PRODUCT "Halvenor"
#define HALVENOR_COMPANY "Mossgrave"
#define HALVENOR_COPYRIGHT "Copyright (C) 2026 Mossgrave"
