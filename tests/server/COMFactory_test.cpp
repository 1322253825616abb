#include "server/COMFactory.h"

#include <gtest/gtest.h>

namespace Ostrel {
namespace {

// {0A1B2C3D-4E5F-4061-8273-8495A6B7C8D9}
const CLSID testClass = {
    0x0A1B2C3D, 0x4E5F, 0x4061, {0x82, 0x73, 0x84, 0x95, 0xA6, 0xB7, 0xC8, 0xD9}};

int created = 0;
int destroyed = 0;

// Offers IUnknown only, and answers anything else with its own failure code.
class PlainObject final : public IUnknown {
public:
    PlainObject() { ++created; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (riid != IID_IUnknown) {
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG remaining = --references;
        if (remaining == 0) {
            delete this;
        }
        return remaining;
    }

private:
    ~PlainObject() { ++destroyed; }
    ULONG references = 0;
};

IUnknown* CreatePlainObject() {
    return new PlainObject();
}

IUnknown* CreateNothing() {
    return nullptr;
}

class Factory : public testing::Test {
protected:
    void SetUp() override { created = destroyed = 0; }
};

TEST_F(Factory, AnswersItsOwnInterfacesAndIsNeverCounted) {
    COMFactory factory(testClass, nullptr, "Test Class", CreatePlainObject);
    EXPECT_STREQ(factory.ClassIdText().c_str(), "{0A1B2C3D-4E5F-4061-8273-8495A6B7C8D9}");
    EXPECT_TRUE(factory.ProgId().IsEmpty());

    void* object = nullptr;
    EXPECT_EQ(factory.QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<IClassFactory*>(&factory));
    object = nullptr;
    EXPECT_EQ(factory.QueryInterface(IID_IClassFactory, &object), S_OK);
    EXPECT_EQ(object, static_cast<IClassFactory*>(&factory));
    object = &object;
    EXPECT_EQ(factory.QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory.QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    EXPECT_EQ(factory.AddRef(), 1u);
    EXPECT_EQ(factory.Release(), 0u);
    EXPECT_EQ(factory.Release(), 0u);
}

TEST_F(Factory, HandsOutTheOnlyReferenceOrDestroysTheNewObject) {
    COMFactory factory(testClass, "Test.Class", "Test Class", CreatePlainObject);
    IUnknown* object = nullptr;
    ASSERT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(destroyed, 1);

    // The object's own failure code comes back, and the object is gone.
    void* refused = &refused;
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IDispatch, &refused), E_NOINTERFACE);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(created, 2);
    EXPECT_EQ(destroyed, 2);

    PlainObject* outer = static_cast<PlainObject*>(CreatePlainObject());
    outer->AddRef();
    refused = &refused;
    EXPECT_EQ(factory.CreateInstance(outer, IID_IUnknown, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(created, 3) << "nothing is created for an aggregate";
    outer->Release();
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Factory, FailsWhenNothingIsCreated) {
    for (CreatingRoutine create : {CreateNothing, static_cast<CreatingRoutine>(nullptr)}) {
        COMFactory factory(testClass, "Test.Class", "Test Class", create);
        void* object = &object;
        EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, &object), E_FAIL);
        EXPECT_EQ(object, nullptr);
    }
}

TEST_F(Factory, LocksAreCountedAcrossFactories) {
    COMFactory first(testClass, "First.Class", "First", CreatePlainObject);
    COMFactory second(testClass, "Second.Class", "Second", CreatePlainObject);
    const LONG before = COMFactory::LockCount();
    EXPECT_EQ(first.LockServer(TRUE), S_OK);
    EXPECT_EQ(second.LockServer(TRUE), S_OK);
    EXPECT_EQ(COMFactory::LockCount(), before + 2);
    EXPECT_EQ(first.LockServer(FALSE), S_OK);
    EXPECT_EQ(COMFactory::LockCount(), before + 1);
    EXPECT_EQ(second.LockServer(FALSE), S_OK);
    EXPECT_EQ(COMFactory::LockCount(), before);
}

} // namespace
} // namespace Ostrel
