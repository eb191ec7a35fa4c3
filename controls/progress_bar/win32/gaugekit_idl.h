// The declarations widl generates from gaugekit.idl. The BrushStyle enumeration's members carry
// the names of the GDI hatch-style macros, so those macros step aside while the header is read.
#pragma once

#include <windows.h>
#include <ocidl.h>

#pragma push_macro("HS_HORIZONTAL")
#pragma push_macro("HS_VERTICAL")
#pragma push_macro("HS_FDIAGONAL")
#pragma push_macro("HS_BDIAGONAL")
#pragma push_macro("HS_CROSS")
#pragma push_macro("HS_DIAGCROSS")
#pragma push_macro("HS_SOLID")
#undef HS_HORIZONTAL
#undef HS_VERTICAL
#undef HS_FDIAGONAL
#undef HS_BDIAGONAL
#undef HS_CROSS
#undef HS_DIAGCROSS
#undef HS_SOLID
#include "gaugekit_h.h"
#pragma pop_macro("HS_SOLID")
#pragma pop_macro("HS_DIAGCROSS")
#pragma pop_macro("HS_CROSS")
#pragma pop_macro("HS_BDIAGONAL")
#pragma pop_macro("HS_FDIAGONAL")
#pragma pop_macro("HS_VERTICAL")
#pragma pop_macro("HS_HORIZONTAL")
