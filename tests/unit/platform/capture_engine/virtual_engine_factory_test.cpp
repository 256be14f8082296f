#include "support/virtual_engine_support.h"

namespace lumicap::virt::engine_tests {
namespace {

using VirtualEngineFactory = EngineTest;

ComPtr<IMFCaptureEngineClassFactory> NewFactory()
{
    ComPtr<IMFCaptureEngineClassFactory> factory;
    EXPECT_EQ(platform::CoCreateInstance(CLSID_MFCaptureEngineClassFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IMFCaptureEngineClassFactory, factory.PutVoid()),
              S_OK);
    return factory;
}

TEST_F(VirtualEngineFactory, CreateInstanceChecksClassInterfaceAndOut)
{
    struct Case {
        const char* name;
        GUID clsid;
        GUID iid;
        bool withOut;
        HRESULT expected;
    };
    const Case cases[] = {
        {"engine", CLSID_MFCaptureEngine, IID_IMFCaptureEngine, true, S_OK},
        {"engine as IUnknown", CLSID_MFCaptureEngine, IID_IUnknown, true, S_OK},
        {"other class", IID_IMFCaptureEngine, IID_IMFCaptureEngine, true, CLASS_E_CLASSNOTAVAILABLE},
        {"null class", GUID_NULL, IID_IMFCaptureEngine, true, CLASS_E_CLASSNOTAVAILABLE},
        {"other interface", CLSID_MFCaptureEngineClassFactory, IID_IMFCaptureSource, true, E_NOINTERFACE},
        {"no out", CLSID_MFCaptureEngineClassFactory, IID_IMFCaptureEngine, false, E_POINTER},
    };
    ComPtr<IMFCaptureEngineClassFactory> factory = NewFactory();
    ASSERT_TRUE(factory);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IUnknown* out = reinterpret_cast<IUnknown*>(0x1);
        EXPECT_EQ(factory->CreateInstance(c.clsid, c.iid, c.withOut ? reinterpret_cast<void**>(&out) : nullptr),
                  c.expected);
        if (!c.withOut) continue;
        if (FAILED(c.expected)) {
            EXPECT_EQ(out, nullptr);
            continue;
        }
        ASSERT_NE(out, nullptr);
        ComPtr<IUnknown> created = ComPtr<IUnknown>::Attach(out);
        ComPtr<IMFCaptureEngine> engine;
        EXPECT_EQ(created->QueryInterface(IID_IMFCaptureEngine, engine.PutVoid()), S_OK);
        EXPECT_TRUE(GetEngineState().exists);
        EXPECT_FALSE(GetEngineState().initialized);
    }
    EXPECT_FALSE(GetEngineState().exists);
}

TEST_F(VirtualEngineFactory, AnswersOnlyItsOwnInterfaces)
{
    ComPtr<IMFCaptureEngineClassFactory> factory = NewFactory();
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
    ComPtr<IMFCaptureEngineClassFactory> again;
    EXPECT_EQ(factory->QueryInterface(IID_IMFCaptureEngineClassFactory, again.PutVoid()), S_OK);
    EXPECT_EQ(again.Get(), factory.Get());
    ComPtr<IMFCaptureEngine> engine;
    EXPECT_EQ(factory->QueryInterface(IID_IMFCaptureEngine, engine.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(engine);
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(VirtualEngineFactory, InjectedFaultFailsOnlyTheChosenCall)
{
    ComPtr<IMFCaptureEngineClassFactory> factory = NewFactory();
    ASSERT_TRUE(factory);
    FailOperation("IMFCaptureEngineClassFactory::CreateInstance", E_OUTOFMEMORY, 2);
    ComPtr<IMFCaptureEngine> first, second, third;
    EXPECT_EQ(factory->CreateInstance(CLSID_MFCaptureEngineClassFactory, IID_IMFCaptureEngine, first.PutVoid()), S_OK);
    EXPECT_EQ(factory->CreateInstance(CLSID_MFCaptureEngineClassFactory, IID_IMFCaptureEngine, second.PutVoid()),
              E_OUTOFMEMORY);
    EXPECT_FALSE(second);
    EXPECT_EQ(factory->CreateInstance(CLSID_MFCaptureEngineClassFactory, IID_IMFCaptureEngine, third.PutVoid()), S_OK);
    EXPECT_NE(first.Get(), third.Get());
    EXPECT_EQ(OperationCount("IMFCaptureEngineClassFactory::CreateInstance"), 3u);
}

TEST_F(VirtualEngineFactory, StateFollowsTheNewestEngineUntilItDies)
{
    ComPtr<IMFCaptureEngine> older = NewEngine();
    ComPtr<IMFCaptureEngine> newer = NewEngine();
    ASSERT_TRUE(older && newer);
    ComPtr<IMFActivate> camera = CameraActivate();
    ASSERT_EQ(older->Initialize(callback_.Get(), nullptr, nullptr, camera.Get()), S_OK);
    EXPECT_FALSE(GetEngineState().initialized);  // the newer one is described
    EXPECT_FALSE(RaiseEngineError(E_FAIL));       // and the newer one is not initialised

    newer.Reset();
    EXPECT_FALSE(GetEngineState().exists);
    EXPECT_FALSE(GetPreviewSinkState().exists);
    EXPECT_FALSE(GetPhotoSinkState().exists);
    // Raising goes to the newest engine still alive.
    EXPECT_TRUE(RaiseEngineError(E_UNEXPECTED));
    RecordedEvent error{};
    ASSERT_TRUE(callback_->WaitFor(MF_CAPTURE_ENGINE_ERROR, &error));
    EXPECT_EQ(error.status, E_UNEXPECTED);

    older.Reset();
    EXPECT_FALSE(RaiseEngineError(E_FAIL));
}

}  // namespace
}  // namespace lumicap::virt::engine_tests
