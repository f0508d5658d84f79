// Every plain property get through the control's IDispatch::Invoke answers exactly as the
// type information's own Invoke does on the same interface: the same result, value type
// and value, or the same exception.
#include "control_support.h"

#include <gtest/gtest.h>

namespace test {
namespace {

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The property gets without arguments that the control's dispatch interface declares.
std::vector<std::pair<DISPID, std::wstring>> PlainGets(ITypeInfo* info) {
    std::vector<std::pair<DISPID, std::wstring>> gets;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return gets;
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT f = 0; f < functions; ++f) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(f, &func))) continue;
        if (func->invkind == INVOKE_PROPERTYGET && func->cParams == 0) {
            BSTR name = nullptr;
            UINT count = 0;
            info->GetNames(func->memid, &name, 1, &count);
            gets.emplace_back(func->memid, Wide(name));
            SysFreeString(name);
        }
        info->ReleaseFuncDesc(func);
    }
    return gets;
}

CallResult GetThroughTypeInfo(ITypeInfo* info, IUnknown* object, DISPID id) {
    CallResult call;
    DISPPARAMS none{};
    call.hr = info->Invoke(object, id, DISPATCH_PROPERTYGET, &none, &call.value, &call.exception,
                           &call.argError);
    return call;
}

std::string Describe(const CallResult& call) {
    char text[64];
    snprintf(text, sizeof text, "hr %08lx scode %08lx vt %u ", static_cast<unsigned long>(call.hr),
             static_cast<unsigned long>(call.exception.scode), V_VT(&call.value));
    std::string out = text;
    VARIANT shown;
    VariantInit(&shown);
    if (SUCCEEDED(VariantChangeType(&shown, const_cast<VARIANT*>(&call.value), 0, VT_BSTR)))
        out += Narrow(Wide(V_BSTR(&shown)));
    VariantClear(&shown);
    return out + " | " + Narrow(Wide(call.exception.bstrSource)) + " | " +
           Narrow(Wide(call.exception.bstrDescription)) + " | " +
           std::to_string(call.exception.dwHelpContext);
}

TEST(PropertyGet, EveryPlainGetAnswersAsTheTypeInformationDoes) {
    Apartment apartment;
    ComPtr<IDispatch> control = CreateControl();
    ASSERT_NE(control, nullptr);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(control->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    ComPtr<ICorvid3> dual;
    ASSERT_EQ(control.As(&dual), S_OK);
    const auto gets = PlainGets(info.Get());
    ASSERT_GT(gets.size(), 50u);

    // No device, a grey board, a color board.
    for (const wchar_t* board : {L"", L"SIM7100", L"SIM7500"}) {
        if (*board) {
            ASSERT_TRUE(OpenBoard(control.Get(), board));
        }
        for (const auto& [id, name] : gets) {
            const CallResult generic = GetThroughTypeInfo(info.Get(), dual.Get(), id);
            const CallResult direct = Call(control.Get(), id, DISPATCH_PROPERTYGET, {});
            const std::string where = Narrow(name) + " on '" + Narrow(board) + "'";
            EXPECT_EQ(Describe(direct), Describe(generic)) << where;
        }
    }
}

} // namespace
} // namespace test
