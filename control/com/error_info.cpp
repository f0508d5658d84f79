#include "error_info.h"

#include "com_object.h"

namespace com {

HRESULT ReportError(HRESULT result, const ErrorDescription& error) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(&create))) return result;
    create->SetGUID(error.guid ? *error.guid : GUID_NULL);
    create->SetSource(const_cast<LPOLESTR>(error.source ? error.source : L""));
    create->SetDescription(const_cast<LPOLESTR>(error.description ? error.description : L""));
    if (error.helpFile) {
        create->SetHelpFile(const_cast<LPOLESTR>(error.helpFile));
        create->SetHelpContext(error.helpContext);
    }
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    return result;
}

void ClearErrorInfo() {
    SetErrorInfo(0, nullptr);
}

} // namespace com
