// The three small indicators of the full panel's top bar and bottom right corner, each a frame of
// a picture chosen by a display preference or by the link variant.
#pragma once

#include "platform/win32.h"

// AUX lit (AuxFlag 0) or dimmed (1), at (176, 16).
void DrawAuxIndicator(HDC dc);
// USB AUDIO (UsbFlag 0) or USB NAVI (1), at (269, 16).
void DrawUsbIndicator(HDC dc);
// V1 (LinkVariant 0) or V2 (1), at (780, 470).
void DrawLinkIndicator(HDC dc);
