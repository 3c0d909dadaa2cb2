// The resource files compiled into the program. The definitions are made at build time from the
// .bmp and .ico files in resources/ (see embed_files.cmake).
#pragma once

#include <cstddef>

#include "platform/resources.h"

extern const ResourceBlob EmbeddedBitmaps[];
extern const std::size_t EmbeddedBitmapCount;
extern const ResourceBlob EmbeddedIcons[];
extern const std::size_t EmbeddedIconCount;
