#include "model/HDispatchXMLModel.h"

#include "dispatch/GuardCall.h"
#include "errors/RaiseErrorInfo.h"
#include "model/HDispatchXMLNode.h"
#include "model/TreeInTransfer.h"
#include "text/Text.h"
#include "text/Utf8Form.h"
#include "transfer/ProxyDataTransfer.h"

#include <utility>

namespace Ostrel {

HDispatchXMLModel::HDispatchXMLModel(std::unique_ptr<XMLModel> model) : model(std::move(model)) {}

HDispatchXMLModel::~HDispatchXMLModel() = default;

IUnknown* HDispatchXMLModel::ExtraInterface(REFIID riid) {
    return riid == IID_ISupportErrorInfo ? &supportErrorInfo : nullptr;
}

HRESULT HDispatchXMLModel::Answer(bool succeeded) {
    if (succeeded) {
        return S_OK;
    }
    // The pending text belongs to the transfer operation that is calling host code.
    if (!InTransfer()) {
        RaiseErrorInfo(model->Errors());
    }
    return E_FAIL;
}

bool HDispatchXMLModel::InTransfer() const {
    return TreeInTransfer::Contains(model->Root());
}

template <typename Body>
HRESULT HDispatchXMLModel::UnlessInTransfer(Body&& body) {
    return GuardCall([&] { return InTransfer() ? E_FAIL : body(); });
}

template <typename Operation>
HRESULT HDispatchXMLModel::Transfer(IDispatch* host, Operation&& operation) {
    return GuardCall([&] {
        if (host == nullptr) {
            return Answer(false);
        }
        const ReferenceDuringCall held(this);
        ProxyDataTransfer proxy(host);
        bool succeeded = false;
        {
            const TreeInTransfer inTransfer(model->Root());
            succeeded = operation(proxy);
        }
        return Answer(succeeded);
    });
}

HRESULT HDispatchXMLModel::Load(BSTR fileName) {
    return UnlessInTransfer([&] { return Answer(model->LoadFile(Text(fileName))); });
}

HRESULT HDispatchXMLModel::Save(BSTR fileName) {
    return UnlessInTransfer([&] { return Answer(model->SaveFile(Text(fileName))); });
}

HRESULT HDispatchXMLModel::LoadFromString(BSTR xml) {
    return UnlessInTransfer(
        [&] { return Answer(model->LoadString(Utf8FromAutomationString(xml, true))); });
}

HRESULT HDispatchXMLModel::SaveToString(BSTR* xml) {
    return GuardCall([&] {
        if (xml == nullptr) {
            return Answer(false);
        }
        Text saved;
        if (!model->SaveString(saved)) {
            return Answer(false);
        }
        *xml = saved.ToBSTR();
        return S_OK;
    });
}

HRESULT HDispatchXMLModel::LoadFromTransfer(IDispatch* source) {
    return UnlessInTransfer([&] {
        return Transfer(source, [&](IDataTransfer& proxy) { return model->LoadTransfer(proxy); });
    });
}

HRESULT HDispatchXMLModel::SaveToTransfer(IDispatch* target) {
    return Transfer(target, [&](IDataTransfer& proxy) {
        return model->SaveTransfer(proxy, XMLWriter::Encoding::Utf8);
    });
}

HRESULT HDispatchXMLModel::GetRoot(IDispatchXMLModelNode** root) {
    return GuardCall([&] {
        if (root == nullptr) {
            return Answer(false);
        }
        *root = model->Root().GetWrapper();
        return S_OK;
    });
}

HRESULT HDispatchXMLModel::Clear() {
    return UnlessInTransfer([&] {
        model->Clear();
        return S_OK;
    });
}

HRESULT HDispatchXMLModel::LoadCompressed(BSTR fileName) {
    return UnlessInTransfer([&] { return model->LoadCompressed(Text(fileName)) ? S_OK : E_FAIL; });
}

HRESULT HDispatchXMLModel::SaveCompressed(BSTR fileName) {
    return GuardCall([&] { return model->SaveCompressed(Text(fileName)) ? S_OK : E_FAIL; });
}

} // namespace Ostrel
