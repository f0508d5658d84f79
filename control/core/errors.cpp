// The one way a failure becomes a COM error result with error information.
#include "corvid.h"

#include "error_info.h"

#include <string>

namespace core {
namespace {

constexpr wchar_t kDefaultHelpFile[] = L"corvid.hlp";
constexpr wchar_t kUnknownStatusText[] = L"Unknown Error";
constexpr wchar_t kUnknownSystemErrorText[] = L"Unknown error";
constexpr wchar_t kSystemErrorCaption[] = L"HandleSystemError";

// Codes from here on are the control's own messages (61440 "Invalid camera file", ...).
constexpr imaging::STT_APISTATUS kFirstControlMessage = 0xF000;
constexpr imaging::STT_APISTATUS kApiStatusFlag = 0x80000000;

// The string-table text of a message id of the control library.
std::wstring MessageText(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero length LoadStringW hands out the resource's own read-only text.
    const int length = LoadStringW(com::ModuleHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return kUnknownStatusText;
    return std::wstring(text, static_cast<size_t>(length));
}

} // namespace

HRESULT CCorvid::ReportStatus(imaging::STT_APISTATUS status, DWORD helpContext,
                              const wchar_t* helpFile) {
    if (persist_.Active()) return S_OK;
    if (helpContext == 0) helpContext = helpContext_;
    if (!helpFile) helpFile = kDefaultHelpFile;

    UINT messageId = 0;
    if (status & kApiStatusFlag)
        messageId = imaging::MessageId(status);
    else if (status < kFirstControlMessage)
        return HandleSystemError(status);
    else
        messageId = status & 0xFFFF;

    const std::wstring description = MessageText(messageId);
    const bool withHelp = helpContext != 0 && helpFile[0] != L'\0';
    return com::ReportError(static_cast<HRESULT>(0x80040000u + messageId),
                            {.source = kProgId,
                             .description = description.c_str(),
                             .helpFile = withHelp ? helpFile : nullptr,
                             .helpContext = withHelp ? helpContext : 0});
}

HRESULT CCorvid::HandleSystemError(DWORD code, const wchar_t* caption, bool showBox) {
    wchar_t text[260] = {};
    // A code the system has no text for reads like code 0.
    if (code == 0 || FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, text, 259, nullptr) == 0)
        wcscpy(text, kUnknownSystemErrorText);
    if (showBox)
        MessageBoxW(nullptr, text, caption ? caption : kSystemErrorCaption,
                    MB_TASKMODAL | MB_ICONEXCLAMATION);
    if (persist_.Active()) return S_OK;
    // No help context, so no help file either.
    return com::ReportError(DISP_E_EXCEPTION, {.source = kProgId, .description = text});
}

} // namespace core
