// The program's resource table: numbered bitmaps, strings, accelerator tables and icons that
// LoadBitmapW, LoadStringW, LoadAcceleratorsW and LoadIconW look up. The program installs its
// table before it starts; tests install another one to make a resource missing.
#pragma once

#include "platform/win32.h"

struct ResourceBlob {
  UINT id;
  const unsigned char* data;  // the file as stored: a .bmp for bitmaps, an .ico for icons
  std::size_t size;
};

struct ResourceString {
  UINT id;
  LPCWSTR text;
};

struct ResourceAccelerators {
  UINT id;
  const ACCEL* entries;
  std::size_t count;
};

struct ResourceTable {
  const ResourceBlob* bitmaps;
  std::size_t bitmap_count;
  const ResourceString* strings;
  std::size_t string_count;
  const ResourceAccelerators* accelerators;
  std::size_t accelerator_count;
  const ResourceBlob* icons;
  std::size_t icon_count;
};

// The table stays owned by the caller and must outlive its use; null empties the table.
void SetResourceTable(const ResourceTable* table);
const ResourceTable* CurrentResourceTable();
