#include "setting_values.h"

#include "layout.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace vidora {

const SyncSourceName kSyncSourceNames[8] = {
    {L"Current Source", 1},    {L"Channel 0", 2},      {L"Channel 1", 65538},
    {L"Channel 2", 131074},    {L"Channel 3", 196610}, {L"Channel 4", 262146},
    {L"Channel 5", 327682},    {L"External Line", 4},
};

double LeadingNumber(const std::wstring& text) {
    wchar_t* end = nullptr;
    const double value = std::wcstod(text.c_str(), &end);
    return end == text.c_str() || !std::isfinite(value) ? 0.0 : value;
}

std::optional<double> NumberOf(const std::wstring& text) {
    const wchar_t* begin = text.c_str();
    while (std::iswspace(*begin)) ++begin;
    if (*begin == L'\0') return std::nullopt;
    // Hexadecimal, infinities and NaN are not numbers an operator types into these fields.
    for (const wchar_t* p = begin; *p; ++p)
        if (!std::iswdigit(*p) && !std::wcschr(L"+-.eE \t", *p)) return std::nullopt;
    wchar_t* end = nullptr;
    const double value = std::wcstod(begin, &end);
    if (end == begin || !std::isfinite(value)) return std::nullopt;
    while (std::iswspace(*end)) ++end;
    if (*end != L'\0') return std::nullopt;
    return value;
}

std::optional<long> IntegerOf(const std::wstring& text) {
    const std::optional<double> number = NumberOf(text);
    if (!number) return std::nullopt;
    const double rounded = std::nearbyint(*number);  // default rounding: ties to even
    if (rounded < INT_MIN || rounded > INT_MAX) return std::nullopt;
    return static_cast<long>(rounded);
}

std::wstring DecimalText(double value) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%.10f", value);
    std::wstring out = text;
    if (out.find(L'.') != std::wstring::npos) {
        while (out.back() == L'0') out.pop_back();
        if (out.back() == L'.') out.pop_back();
    }
    if (out == L"-0") out = L"0";
    return out;
}

FieldTyping ClassifyTyped(double value, long min, long max) {
    if (value > max) return FieldTyping::ClampToMax;
    if (value < min) return FieldTyping::LeaveAsTyped;
    return FieldTyping::Accept;
}

std::optional<long> RoundToGranularity(long value, long granularity) {
    if (granularity == 0) return std::nullopt;
    return RoundHalfEven(static_cast<double>(value) / granularity) * granularity;
}

std::wstring HundredthsText(long hundredths) { return DecimalText(hundredths / 100.0); }

std::optional<long> HundredthsOf(const std::wstring& percentText) {
    const std::optional<double> percent = NumberOf(percentText);
    if (!percent) return std::nullopt;
    return IntegerOf(DecimalText(*percent * 100));
}

std::wstring GainText(long gain) { return DecimalText(gain / 100.0); }

std::optional<long> GainOf(const std::wstring& text) { return HundredthsOf(text); }

std::optional<long> SyncSourceValue(const std::wstring& text) {
    for (const SyncSourceName& name : kSyncSourceNames)
        if (text == name.text) return name.value;
    return std::nullopt;
}

const wchar_t* SyncSourceText(long value) {
    for (const SyncSourceName& name : kSyncSourceNames)
        if (value == name.value) return name.text;
    return nullptr;
}

} // namespace vidora
