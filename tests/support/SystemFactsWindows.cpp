#include "platform/com.h"
#include "support/SystemFacts.h"

bool UnderWine() {
    HMODULE system = GetModuleHandleA("ntdll.dll");
    return system != nullptr && GetProcAddress(system, "wine_get_version") != nullptr;
}
