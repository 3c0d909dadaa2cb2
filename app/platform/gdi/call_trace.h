// During a virtual run the calls that select and release drawing objects go into the run's trace
// ("SelectObject <context> <object>", "DeleteObject <object>", "DeleteDC <context>", handles in
// decimal), so that a test can check the order in which a program lets its objects go.
#pragma once

namespace platform::gdi {

void TraceCall(const char* name, const void* first, const void* second = nullptr);

}  // namespace platform::gdi
