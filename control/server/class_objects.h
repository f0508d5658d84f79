// The creatable classes of the library: for each, its class identifier, its instance
// creator and its registry entries. DllGetClassObject, DllRegisterServer and
// DllUnregisterServer walk this table in order.
#pragma once

#include "class_factory.h"
#include "registration.h"

#include <span>

namespace server {

struct ClassObject {
    const CLSID* clsid;
    com::InstanceCreator create;
    std::span<const RegistryEntry> registration;
};

std::span<const ClassObject> ClassObjects();

// The class factory of a class in the table, created on first use and kept.
HRESULT GetClassFactory(REFCLSID clsid, REFIID iid, void** out);

} // namespace server
