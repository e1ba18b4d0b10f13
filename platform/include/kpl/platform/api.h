#pragma once
// Visibility of the platform library's own calls: everything else in it stays hidden.
#define KPL_PLATFORM_API __attribute__((visibility("default")))
