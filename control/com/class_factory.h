// The class object of a creatable class: creates instances through the class's creator and
// keeps the module loaded only while a client has locked it (LockServer).
#pragma once

#include "com_object.h"

namespace com {

using InstanceCreator = HRESULT (*)(REFIID iid, void** out);

class ClassFactory final : public ObjectBase<ClassFactory, false, IClassFactory> {
public:
    explicit ClassFactory(InstanceCreator create) : create_(create) {}

    static InterfaceTable<ClassFactory> Interfaces() {
        static const InterfaceEntry<ClassFactory> table[] = {Entry<ClassFactory, IClassFactory>()};
        return table;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ModuleLock();
        else
            ModuleUnlock();
        return S_OK;
    }

private:
    InstanceCreator create_;
};

} // namespace com
