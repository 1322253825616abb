// The automation face of one document: load, save, reach the root, empty it. Every operation
// converts its arguments, calls the model and turns a failure into E_FAIL; all but the
// compressed pair also hand the model's pending failure text to the host as error
// information. The compressed pair leaves what it recorded pending, so the next operation that
// hands text over delivers it first.
//
// While LoadFromTransfer or SaveToTransfer calls the host's stream, the host's code may call the
// model again: what would change or free the tree the operation is building or walking (Clear,
// every load) answers E_FAIL and does nothing, and so does Save, whose failure would add its
// message to the operation's pending text. Reading calls and the other saves work, and a failure
// among them leaves the pending text to the operation.
//
// The object owns its model for its whole life; node objects obtained from it do not keep it
// alive and are detached when it goes.
#pragma once

#include "dispatch/CountedObject.h"
#include "dispatch/DispatchClassInfo.h"
#include "dispatch/DispatchObject.h"
#include "errors/HDispatchSupportErrorInfo.h"
#include "model/XMLModel.h"
#include "platform/com.h"
#include "pravell_idl.h"

#include <memory>

namespace Ostrel {

class HDispatchXMLModel : public DispatchObject<HDispatchXMLModel, IDispatchXMLModel>,
                          private CountedObject {
public:
    static DispatchClassInfo& ClassInfo() { return DispatchClassInfo::XMLModel(); }

    explicit HDispatchXMLModel(std::unique_ptr<XMLModel> model);

    IUnknown* ExtraInterface(REFIID riid);

    HRESULT STDMETHODCALLTYPE Load(BSTR fileName) override;
    HRESULT STDMETHODCALLTYPE Save(BSTR fileName) override;
    HRESULT STDMETHODCALLTYPE LoadFromString(BSTR xml) override;
    HRESULT STDMETHODCALLTYPE SaveToString(BSTR* xml) override;
    HRESULT STDMETHODCALLTYPE LoadFromTransfer(IDispatch* source) override;
    HRESULT STDMETHODCALLTYPE SaveToTransfer(IDispatch* target) override;
    HRESULT STDMETHODCALLTYPE GetRoot(IDispatchXMLModelNode** root) override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    HRESULT STDMETHODCALLTYPE LoadCompressed(BSTR fileName) override;
    HRESULT STDMETHODCALLTYPE SaveCompressed(BSTR fileName) override;

    // Destroys the model, which detaches every node object still alive.
    virtual ~HDispatchXMLModel();

private:
    // S_OK on success; otherwise hands the pending failure text to the host, unless a transfer
    // operation of this model is calling host code, and answers E_FAIL.
    HRESULT Answer(bool succeeded);
    bool InTransfer() const;
    // The body's answer, or E_FAIL without running it while a transfer operation of this model
    // is calling host code.
    template <typename Body>
    HRESULT UnlessInTransfer(Body&& body);
    // Runs a load or save over the host's stream with the tree listed in transfer.
    template <typename Operation>
    HRESULT Transfer(IDispatch* host, Operation&& operation);

    std::unique_ptr<XMLModel> model;
    HDispatchSupportErrorInfo supportErrorInfo{this, &IID_IDispatchXMLModel};
};

} // namespace Ostrel
