// What the streaming parser tests share: a fixture that checks every object the test made is
// gone again and offers a private registry for the type libraries, owned automation strings,
// and the narrow (UTF-8) reading of automation strings.
#pragma once

#include "platform/com.h"
#include "platform/testsupport.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {

class ParserTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads bin/<name>.tlb and registers it in the test's registry.
    static void Register(const std::string& name);

    PrivateRegistry registry;

private:
    LONG liveAtStart = 0;
};

// An automation string owned by the test.
class Bstr {
public:
    explicit Bstr(const std::string& utf8);
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value); }
    operator BSTR() const { return value; }

private:
    BSTR value;
};

// The UTF-8 reading of a string; null reads as "".
std::string Utf8(const OLECHAR* text, UINT length);
std::string Utf8(BSTR text);
// Reads the string and frees it.
std::string TakeUtf8(BSTR text);

} // namespace Ostrel::Testing
