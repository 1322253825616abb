// Facts about the system a test runs on, for the few places where the tests of the platform's
// behaviour know the system's libraries to answer differently from one another. How a fact is
// learnt differs per system (SystemFactsLinux.cpp, SystemFactsWindows.cpp).
#pragma once

// Whether the Windows libraries are Wine's, which announces itself through ntdll's
// wine_get_version, the check Wine documents for programs that must tell it apart.
bool UnderWine();
