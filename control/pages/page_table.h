// The ten property page classes of the control, declared once: the class-object table and the
// registration read this table, and each page object takes its title, template, help and
// form from its entry.
#pragma once

#include "page_form.h"

#include <windows.h>

#include <memory>
#include <span>

namespace pages {

struct PageClass {
    const CLSID* clsid;
    const wchar_t* name;  // the class name of the type library
    UINT titleId;         // string resource of the tab's title; also the dialog template's id
    SIZE templateSize;    // dialog units
    std::unique_ptr<PageForm> (*makeForm)();
};

// General, Spatial, Sync, Trigger, Input, Display, Color, Digital I/O, Digital Camera,
// Line Scan: the order of the class-object table.
std::span<const PageClass> PageClasses();

// Creates the page object of a class and hands out the interface iid.
HRESULT CreatePage(const PageClass& page, REFIID iid, void** out);
// The instance creator of the class-object table's entry for a page class.
template <const CLSID* Clsid> HRESULT CreatePageOf(REFIID iid, void** out) {
    for (const PageClass& page : PageClasses())
        if (*page.clsid == *Clsid) return CreatePage(page, iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

// The string resource naming the page's help file; and its documentation string.
inline constexpr UINT HelpFileId(const PageClass& page) { return page.titleId + 1; }
inline constexpr wchar_t kDocString[] = L"Your Help String";

} // namespace pages
