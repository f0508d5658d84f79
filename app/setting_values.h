// Conversions between what the setup dialogs show and what the control stores. Platform-free:
// the dialogs read and write the texts, these compute.
#pragma once

#include <optional>
#include <string>

namespace vidora {

// The leading number of a text (spaces first are skipped), 0 when there is none.
double LeadingNumber(const std::wstring& text);

// A whole text read as a number: surrounding spaces allowed, anything else refused.
std::optional<double> NumberOf(const std::wstring& text);

// A whole text as a 32-bit integer, fractions rounded to the nearest, ties to even; empty when
// the text is no number or out of range.
std::optional<long> IntegerOf(const std::wstring& text);

// A number as the dialogs show it: no exponent, no trailing zeros ("0.5", "12.5", "40").
std::wstring DecimalText(double value);

// What a bounded field does with the value typed into its text box.
enum class FieldTyping {
    Accept,        // in range: the up-down takes the value
    ClampToMax,    // above the maximum: text and up-down become the maximum
    LeaveAsTyped,  // below the minimum: the operator may still be typing
};
FieldTyping ClassifyTyped(double value, long min, long max);

// The A/D offset shown: the offset rounded to a multiple of the white-level granularity
// (nearest, ties to even). Empty for a granularity of 0, which has no multiples.
std::optional<long> RoundToGranularity(long value, long granularity);

// Positions kept in hundredths of a percent, shown in percent: 1250 <-> "12.5".
std::wstring HundredthsText(long hundredths);
std::optional<long> HundredthsOf(const std::wstring& percentText);

// The A/D gain, kept in hundredths: 50 <-> "0.5" (and ".5").
std::wstring GainText(long gain);
std::optional<long> GainOf(const std::wstring& text);

// The sync sources by name and value, both ways.
struct SyncSourceName {
    const wchar_t* text;
    long value;
};
extern const SyncSourceName kSyncSourceNames[8];
std::optional<long> SyncSourceValue(const std::wstring& text);
const wchar_t* SyncSourceText(long value);  // null for a value without a name

// The frame types in the order the dialog lists and tests them.
constexpr long kFrameTypeBits[7] = {1, 2, 4, 8, 16, 32, 64};

} // namespace vidora
