// The platform's error numbers, kept at the platform's values; every run-time unit that reports
// one takes it from here, so any of them can be used together.
#pragma once

// General results.
constexpr int ERROR_SUCCESS = 0;
constexpr int ERROR_INVALID_PARAMETER = 87;
constexpr int ERROR_CANCELLED = 1223;

// Files and folders.
constexpr int ERROR_FILE_NOT_FOUND = 2;
constexpr int ERROR_PATH_NOT_FOUND = 3;
constexpr int ERROR_ACCESS_DENIED = 5;
constexpr int ERROR_NO_MORE_FILES = 18;
constexpr int ERROR_DISK_FULL = 112;
constexpr int ERROR_DIR_NOT_EMPTY = 145;
constexpr int ERROR_ALREADY_EXISTS = 183;

// Resources.
constexpr int ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr int ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
